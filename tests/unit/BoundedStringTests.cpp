#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "TestFolder.h"
#include "support/BoundedString.h"

namespace {

const char kMarker = '#';

struct CopyCase {
    const char* name;
    size_t cch;
    std::string source;
    ResultCode expected;
    std::string expectedText;
};

TEST(BoundedCopy, CopiesWholeOrCutsAndTerminates)
{
    const CopyCase cases[] = {
        {"259 characters into 260", 260, std::string(259, 'a'), S_OK, std::string(259, 'a')},
        {"260 characters into 260", 260, std::string(260, 'a'), STRSAFE_E_INSUFFICIENT_BUFFER,
         std::string(259, 'a')},
        {"extension into 5", 5, ".sc_", S_OK, ".sc_"},
        {"extension into 4", 4, ".sc_", STRSAFE_E_INSUFFICIENT_BUFFER, ".sc"},
        {"empty into 1", 1, "", S_OK, ""},
        {"one character into 1", 1, "a", STRSAFE_E_INSUFFICIENT_BUFFER, ""},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string buffer(c.cch + 8, kMarker);
        EXPECT_EQ(Hex(c.expected), Hex(BoundedCopy(&buffer[0], c.cch, c.source.c_str())));
        EXPECT_EQ(c.expectedText, std::string(buffer.c_str()));
        EXPECT_EQ(std::string(8, kMarker), buffer.substr(c.cch)) << "wrote past cch";
    }
}

TEST(BoundedCopy, RefusesInvalidSizesAndLeavesTheBuffer)
{
    const size_t sizes[] = {0, kMaxCch + 1, (size_t)-1};
    for (size_t cch : sizes) {
        SCOPED_TRACE(cch);
        char buffer[4] = {kMarker, kMarker, kMarker, kMarker};
        EXPECT_EQ(Hex(E_INVALIDARG), Hex(BoundedCopy(buffer, cch, "abc")));
        EXPECT_EQ(kMarker, buffer[0]);
        wchar_t wide[4] = {L'#', L'#', L'#', L'#'};
        EXPECT_EQ(Hex(E_INVALIDARG), Hex(BoundedWideCopy(wide, cch, L"abc")));
        EXPECT_EQ(L'#', wide[0]);
    }
}

TEST(BoundedWideCopy, FollowsTheSameRules)
{
    const std::wstring path = L"C:\\Programme\\\x00C4rger\\" + std::wstring(300, L'x');
    wchar_t buffer[260];
    EXPECT_EQ(Hex(STRSAFE_E_INSUFFICIENT_BUFFER), Hex(BoundedWideCopy(buffer, 260, path.c_str())));
    EXPECT_EQ(path.substr(0, 259), std::wstring(buffer));

    EXPECT_EQ(Hex(S_OK), Hex(BoundedWideCopy(buffer, 260, L"\x00C4\x0416.dll")));
    EXPECT_EQ(std::wstring(L"\x00C4\x0416.dll"), std::wstring(buffer));
}

struct AppendCase {
    const char* name;
    std::string initial;  // the buffer's first characters, terminated or not
    size_t cch;
    const char* source;
    ResultCode expected;
    std::string expectedText;
};

TEST(BoundedAppend, AppendsOrCutsAndRefusesUnterminated)
{
    const AppendCase cases[] = {
        {"fits", std::string("abc\0", 4), 10, "def", S_OK, "abcdef"},
        {"fits exactly", std::string("abc\0", 4), 7, "def", S_OK, "abcdef"},
        {"cut", std::string("abc\0", 4), 6, "def", STRSAFE_E_INSUFFICIENT_BUFFER, "abcde"},
        {"full, something to add", std::string("abcd\0", 5), 5, "x",
         STRSAFE_E_INSUFFICIENT_BUFFER, "abcd"},
        {"full, nothing to add", std::string("abcd\0", 5), 5, "", S_OK, "abcd"},
        {"no terminator within cch", "abcde", 5, "x", E_INVALIDARG, "abcde"},
        {"size 0", std::string("a\0", 2), 0, "x", E_INVALIDARG, "a"},
    };
    for (const AppendCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string buffer = c.initial + std::string(16, '\0');
        EXPECT_EQ(Hex(c.expected), Hex(BoundedAppend(&buffer[0], c.cch, c.source)));
        EXPECT_EQ(c.expectedText, std::string(buffer.c_str()));
    }
}

TEST(BoundedFormat, FormatsTheConversionsInUse)
{
    char buffer[260];
    EXPECT_EQ(Hex(S_OK), Hex(BoundedFormat(buffer, 260, "\\StringFileInfo\\%04x%04x\\%s",
                                           0x409, 0x4b0, "CompanyName")));
    EXPECT_STREQ("\\StringFileInfo\\040904b0\\CompanyName", buffer);

    EXPECT_EQ(Hex(S_OK), Hex(BoundedFormat(buffer, 260, "hr = %x, id %d", 0x80070005U, 1234)));
    EXPECT_STREQ("hr = 80070005, id 1234", buffer);

    EXPECT_EQ(Hex(S_OK), Hex(BoundedFormat(buffer, 260, "Verifying program: %s", "C:\\100%s.dll")));
    EXPECT_STREQ("Verifying program: C:\\100%s.dll", buffer);
}

TEST(BoundedFormat, ExactFitSucceedsAndOneMoreIsCut)
{
    const size_t cch = 16;
    char buffer[cch + 4];
    memset(buffer, kMarker, sizeof(buffer));
    EXPECT_EQ(Hex(S_OK), Hex(BoundedFormat(buffer, cch, "%s", std::string(cch - 1, 'z').c_str())));
    EXPECT_EQ(std::string(cch - 1, 'z'), std::string(buffer));

    memset(buffer, kMarker, sizeof(buffer));
    EXPECT_EQ(Hex(STRSAFE_E_INSUFFICIENT_BUFFER),
              Hex(BoundedFormat(buffer, cch, "%s%d", std::string(cch - 1, 'z').c_str(), 7)));
    EXPECT_EQ(std::string(cch - 1, 'z'), std::string(buffer));
    EXPECT_EQ(kMarker, buffer[cch]) << "wrote past cch";

    const std::string longText(3000, 'q');
    EXPECT_EQ(Hex(STRSAFE_E_INSUFFICIENT_BUFFER), Hex(BoundedFormat(buffer, cch, "%s", longText.c_str())));
    EXPECT_EQ(longText.substr(0, cch - 1), std::string(buffer));
}

TEST(BoundedFormat, RefusesInvalidSizes)
{
    const size_t sizes[] = {0, kMaxCch + 1, (size_t)-1};
    for (size_t cch : sizes) {
        SCOPED_TRACE(cch);
        char buffer[4] = {kMarker, kMarker, kMarker, kMarker};
        EXPECT_EQ(Hex(E_INVALIDARG), Hex(BoundedFormat(buffer, cch, "%d", 1)));
        EXPECT_EQ(kMarker, buffer[0]);
    }
}

}
