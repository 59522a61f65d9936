#include <gtest/gtest.h>

#include "TestFolder.h"
#include "support/DiagnosticLog.h"

namespace {

class DiagnosticLogTest : public ::testing::Test {
protected:
    DiagnosticLogTest() : inFolder_(scratch_.Path()) {}
    ~DiagnosticLogTest() override { gDebugFlag = 1; }

    std::string Log() const { return ReadFileBytes(scratch_.Join("Trenovaskil.log")); }
    void ClearLog() const { DeleteFileA(scratch_.Join("Trenovaskil.log").c_str()); }

    ScratchFolder scratch_;
    ScopedCurrentDirectory inFolder_;
};

TEST_F(DiagnosticLogTest, WritesOneLineWithCarriageReturnAndLineFeed)
{
    const struct {
        const char* name;
        std::string message;
        ResultCode expected;
        std::string expectedBytes;
    } cases[] = {
        {"short line", "Cannot Open Process: 12", S_OK, "Cannot Open Process: 12\r\n"},
        {"newline already there", "hr = 80004005\n", S_OK, "hr = 80004005\r\n"},
        {"empty text", "", S_OK, "\r\n"},
        {"1022 characters", std::string(1022, 'a'), S_OK, std::string(1022, 'a') + "\r\n"},
        {"1023 characters", std::string(1023, 'b'), STRSAFE_E_INSUFFICIENT_BUFFER,
         std::string(1023, 'b')},
        {"several thousand characters", std::string(5000, 'c'), STRSAFE_E_INSUFFICIENT_BUFFER,
         std::string(1023, 'c')},
        {"percent signs in an argument", "C:\\100%s\\%d%x.dll", S_OK, "C:\\100%s\\%d%x.dll\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLog();
        EXPECT_EQ(Hex(c.expected), Hex(WriteDiagnostic("%s", c.message.c_str())));
        EXPECT_EQ(c.expectedBytes, Log());
    }
}

TEST_F(DiagnosticLogTest, AppendsFormattedLines)
{
    EXPECT_EQ(Hex(S_OK), Hex(WriteDiagnostic("Cannot Open Process: %d, Error Code: %d", 1234, 5)));
    EXPECT_EQ(Hex(S_OK), Hex(WriteDiagnostic("Cannot Kill Process: %d, hr= %x\n", 1234, 0x80070005U)));
    EXPECT_EQ("Cannot Open Process: 1234, Error Code: 5\r\nCannot Kill Process: 1234, hr= 80070005\r\n", Log());
}

TEST_F(DiagnosticLogTest, WritesNothingWhenTheFlagIsOff)
{
    gDebugFlag = 0;
    EXPECT_EQ(Hex(S_OK), Hex(WriteDiagnostic("%s", std::string(5000, 'x').c_str())));
    EXPECT_EQ("<missing>", Log());
}

TEST_F(DiagnosticLogTest, LosesTheLineQuietlyWhenTheLogCannotBeOpened)
{
    ASSERT_TRUE(CreateDirectoryA(scratch_.Join("Trenovaskil.log").c_str(), NULL));
    EXPECT_EQ(Hex(S_OK), Hex(WriteDiagnostic("line")));
    EXPECT_TRUE(IsFolder(scratch_.Join("Trenovaskil.log")));
}

}
