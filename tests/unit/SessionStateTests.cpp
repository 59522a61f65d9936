#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include "TestFolder.h"
#include "app/SessionState.h"

namespace {

class InitSessionTest : public ::testing::Test {
protected:
    InitSessionTest() { Reset(); }
    ~InitSessionTest() override { Reset(); }

    static void Reset()
    {
        free(gSession.table.records);
        memset(&gSession, 0, sizeof(gSession));
    }

    ScratchFolder scratch_;
};

TEST_F(InitSessionTest, MakesTheTableTwoFoldersAndTheReportPath)
{
    ScopedEnvironment tmp("TMP", scratch_.Path());
    ScopedEnvironment temp("TEMP", scratch_.Path());

    ASSERT_EQ(Hex(S_OK), Hex(InitSession()));

    ASSERT_NE(nullptr, gSession.table.records);
    EXPECT_EQ(0, gSession.table.count);
    const ProgramRecord& last = gSession.table.records[kMaxPrograms - 1];
    EXPECT_EQ(0, last.killed);
    EXPECT_EQ(0u, last.processId);

    const std::string report = gSession.reportPath;
    const std::string suffix = "\\Kestrovane.txt";
    ASSERT_GT(report.size(), suffix.size());
    EXPECT_EQ(suffix, report.substr(report.size() - suffix.size()));
    const std::string reportFolder = report.substr(0, report.size() - suffix.size());
    const std::string updateFolder = gSession.updateFolder;

    EXPECT_NE(reportFolder, updateFolder);
    for (const std::string& folder : {reportFolder, updateFolder}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(IsFolder(folder));
        EXPECT_EQ(scratch_.Path() + "\\", folder.substr(0, scratch_.Path().size() + 1));
        EXPECT_TRUE(IsGuidName(folder.substr(scratch_.Path().size() + 1)));
    }
    EXPECT_EQ(2u, ListFolder(scratch_.Path()).size());
}

TEST_F(InitSessionTest, StopsAtTheFirstFolderThatCannotBeMade)
{
    // The temporary folder is created when missing, but not its missing parent.
    const std::string unreachable = scratch_.Join("missing\\deeper");
    ScopedEnvironment tmp("TMP", unreachable);
    ScopedEnvironment temp("TEMP", unreachable);

    EXPECT_EQ(Hex(0x80070003), Hex(InitSession()));
    EXPECT_NE(nullptr, gSession.table.records);
    EXPECT_STREQ("", gSession.reportPath);
    EXPECT_STREQ("", gSession.updateFolder);
}

TEST_F(InitSessionTest, RefusesAReportPathThatDoesNotFit)
{
    // The folder name fits in 259 characters, the folder plus "\Kestrovane.txt" does not.
    const std::string base = scratch_.Path() + "\\";
    const std::string longTemp = base + std::string(215 - base.size(), 'r');
    ScopedEnvironment tmp("TMP", longTemp);
    ScopedEnvironment temp("TEMP", longTemp);

    EXPECT_EQ(Hex(STRSAFE_E_INSUFFICIENT_BUFFER), Hex(InitSession()));
    EXPECT_STREQ("", gSession.reportPath);
    EXPECT_STREQ("", gSession.updateFolder);
    EXPECT_EQ(1u, ListFolder(longTemp).size()) << "only the first folder is made";
}

}
