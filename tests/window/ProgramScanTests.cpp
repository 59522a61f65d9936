// The real program scanning while module hosts run, watched from outside its process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include <memory>

#include "ModuleHosts.h"
#include "ProgramWindow.h"
#include "RunningProgram.h"
#include "TestFolder.h"

namespace {

const DWORD kScanTimeoutMs = 240000;

TEST(ProgramScan, ListsEachFixtureLibraryOnceWithItsCompanyAndHostIcon)
{
    const std::vector<std::string> libraries = {
        FixturePath("CompanyLibrary.dll"), FixturePath("OtherTranslationLibrary.dll"),
        FixturePath("NoVersionLibrary.dll")};
    ModuleHosts hosts;
    ASSERT_TRUE(hosts.Start(libraries, kNoWindow));
    ASSERT_TRUE(hosts.Start(libraries, kClosableWindow));

    ScratchFolder scratch;
    RunningProgram program(scratch.Path());
    ASSERT_NE(nullptr, program.WaitForWindow(30000));
    ASSERT_TRUE(program.WaitForScanEnd(kScanTimeoutMs)) << program.StatusText();

    const std::vector<ListRow> rows = ReadListRows(program.Control(1001));
    const std::vector<ListRow> hostRows = RowsEndingWith(rows, "\\ModuleHost.exe");
    ASSERT_EQ(1u, hostRows.size()) << "the host's executable, once for both hosts";
    EXPECT_GE(hostRows[0].image, 0);

    const struct {
        const char* name;
        const char* company;
    } expected[] = {
        {"\\CompanyLibrary.dll", "Kestrovane Fixture Works"},
        {"\\OtherTranslationLibrary.dll", ""},
        {"\\NoVersionLibrary.dll", ""},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        const std::vector<ListRow> found = RowsEndingWith(rows, e.name);
        ASSERT_EQ(1u, found.size());
        EXPECT_EQ("Unverified", found[0].status);
        EXPECT_EQ(e.company, found[0].owner);
        EXPECT_EQ(hostRows[0].image, found[0].image) << "the host's icon";
        EXPECT_FALSE(found[0].ticked);
    }
    EXPECT_TRUE(RowsEndingWith(rows, "\\Kestrovane.exe").empty()) << "the program listed itself";
    EXPECT_EQ(1u, RowsEndingWith(rows, "\\window_tests.exe").size());

    EXPECT_EQ(10000, SendMessageA(program.Control(104), PBM_GETPOS, 0, 0));
    EXPECT_EQ("Scanning completed...", program.StatusText());
}

// Hosts loading 1100 distinct libraries between them: more than the table holds.
class ManyModulesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scratch_ = new ScratchFolder();
        hosts_ = new ModuleHosts();
        ready_ = hosts_->StartMany(scratch_->Path(), 1100);
    }
    static void TearDownTestSuite()
    {
        delete hosts_;
        delete scratch_;
    }
    void SetUp() override { ASSERT_TRUE(ready_) << "the module hosts did not start"; }

    static ScratchFolder* scratch_;
    static ModuleHosts* hosts_;
    static bool ready_;
};
ScratchFolder* ManyModulesTest::scratch_ = nullptr;
ModuleHosts* ManyModulesTest::hosts_ = nullptr;
bool ManyModulesTest::ready_ = false;

TEST_F(ManyModulesTest, StopsAtAFullTableAndEndsTheRunCleanly)
{
    ScratchFolder work;
    RunningProgram program(work.Path());
    ASSERT_NE(nullptr, program.WaitForWindow(30000));
    ASSERT_TRUE(program.WaitForScanEnd(kScanTimeoutMs)) << program.StatusText();

    // Under Wine no catalog lists anything, so every record of the full table has a row.
    EXPECT_EQ(1024, SendMessageA(program.Control(1001), LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < 50 && SendMessageA(program.Control(104), PBM_GETPOS, 0, 0) != 10000; i++)
        Sleep(20);
    EXPECT_EQ(10000, SendMessageA(program.Control(104), PBM_GETPOS, 0, 0));
    EXPECT_EQ((DWORD)STILL_ACTIVE, program.WaitForExit(0));

    PostMessageA(program.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, program.WaitForExit(15000));
}

// Closing the window while the worker verifies modules: the trust libraries must not be
// unloaded under it. Each close must end the program without a crash, with exit code 0.
TEST_F(ManyModulesTest, ClosingDuringTheScanEndsTheProgramCleanly)
{
    srand(GetTickCount());
    for (int round = 0; round < 8; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        ScratchFolder work;
        RunningProgram program(work.Path());
        ASSERT_NE(nullptr, program.WaitForWindow(30000));
        const ULONGLONG deadline = GetTickCount64() + 30000;
        while (program.StatusText().compare(0, 19, "Verifying program: ") != 0 && GetTickCount64() < deadline)
            Sleep(10);
        ASSERT_EQ("Verifying program: ", program.StatusText().substr(0, 19));
        Sleep((DWORD)(rand() % 400));

        PostMessageA(program.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(0u, program.WaitForExit(15000));
    }
}

}
