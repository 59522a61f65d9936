#include <gtest/gtest.h>

#include "TestFolder.h"
#include "support/FileProbe.h"
#include "support/ResultCode.h"

namespace {

TEST(ResultFromLastError, MapsPositiveErrorsAndPassesTheRest)
{
    const struct {
        DWORD lastError;
        ResultCode expected;
    } cases[] = {
        {0, S_OK},
        {ERROR_ACCESS_DENIED, (ResultCode)0x80070005},
        {ERROR_FILE_NOT_FOUND, (ResultCode)0x80070002},
        {ERROR_SHARING_VIOLATION, (ResultCode)0x80070020},
        {0x00012345, (ResultCode)0x80072345},
        {0x80004005, (ResultCode)0x80004005},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex((long)c.lastError));
        SetLastError(c.lastError);
        EXPECT_EQ(Hex(c.expected), Hex(ResultFromLastError()));
    }
}

TEST(FailureFromLastError, NeverAnswersSuccess)
{
    SetLastError(0);
    EXPECT_EQ(Hex(E_FAIL), Hex(FailureFromLastError()));
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(Hex(0x80070005), Hex(FailureFromLastError()));
}

TEST(FileExists, AnswersForFilesFoldersAndPatterns)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    ScratchFolder scratch;

    const struct {
        std::string path;
        bool expected;
    } cases[] = {
        {windows, true},
        {std::string(system) + "\\kernel32.dll", true},
        {std::string(system) + "\\*.dll", true},
        {std::string(system) + "\\no-such-file.dll", false},
        {scratch.Join("missing-folder\\file.dll"), false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.path + "\"");
        EXPECT_EQ(c.expected, FileExists(c.path.c_str()));
    }
}

}
