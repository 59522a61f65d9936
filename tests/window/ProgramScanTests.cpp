// The real program scanning while module hosts run, watched from outside its process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include <memory>

#include "MessageBoxAnswerer.h"
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
    EXPECT_TRUE(RowsEndingWith(rows, "\\Kestrovane64.exe").empty()) << "the program's 64-bit copy listed itself";
    EXPECT_EQ(1u, RowsEndingWith(rows, "\\window_tests.exe").size());

    EXPECT_EQ(10000, SendMessageA(program.Control(104), PBM_GETPOS, 0, 0));
    EXPECT_EQ("Scanning completed...", program.StatusText());
}

TEST(ProgramScan, CopiesItsReportAndKillsATickedHost)
{
    ModuleHosts hosts;
    ASSERT_TRUE(hosts.Start({FixturePath("CompanyLibrary.dll"), FixturePath("NoVersionLibrary.dll")}, kClosableWindow));
    ScratchFolder scratch;
    RunningProgram program(scratch.Path());
    ASSERT_NE(nullptr, program.WaitForWindow(30000));
    ASSERT_TRUE(program.WaitForScanEnd(kScanTimeoutMs)) << program.StatusText();

    const std::string report = CopiedReport(program.Window());
    EXPECT_EQ(0u, report.find("Kestrovane Tool - Malware Debugging Tool[1.0.0.1]\r\n\r\nRunning Programs[Not Verified]:\r\n"))
        << report.substr(0, 200);
    EXPECT_NE(std::string::npos, report.find("\\CompanyLibrary.dll[ModuleHost.exe]|Kestrovane Fixture Works\r\n"));
    EXPECT_NE(std::string::npos, report.find("\\NoVersionLibrary.dll[ModuleHost.exe]|\r\n"));
    const std::string ending = "----------------------------------\r\n\r\n";
    ASSERT_GT(report.size(), ending.size());
    EXPECT_EQ(ending, report.substr(report.size() - ending.size()));

    const HWND list = program.Control(1001);
    std::vector<ListRow> rows = ReadListRows(list);
    int hostRow = -1;
    for (size_t i = 0; i < rows.size(); i++)
        if (rows[i].module.size() > 18 && rows[i].module.substr(rows[i].module.size() - 18) == "CompanyLibrary.dll")
            hostRow = (int)i;
    ASSERT_GE(hostRow, 0);
    TickRow(list, hostRow);
    ASSERT_TRUE(ReadListRows(list)[hostRow].ticked);

    MessageBoxAnswerer answerer(program.ProcessId(), {IDYES});
    PostMessageA(program.Control(1006), BM_CLICK, 0, 0);
    EXPECT_EQ(7u, hosts.WaitForExit(0, 20000)) << "the host was not asked to close";
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!RowsEndingWith(ReadListRows(list), "\\ModuleHost.exe").empty() && GetTickCount64() < deadline)
        Sleep(50);
    rows = ReadListRows(list);
    EXPECT_TRUE(RowsEndingWith(rows, "\\ModuleHost.exe").empty());
    EXPECT_TRUE(RowsEndingWith(rows, "\\CompanyLibrary.dll").empty());
    EXPECT_TRUE(RowsEndingWith(rows, "\\NoVersionLibrary.dll").empty());

    const std::vector<SeenBox> seen = answerer.Finish();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("Kestrovane Tool", seen[0].title);
    EXPECT_EQ(0u, seen[0].text.find("Do you want to kill following program?\r\n\r\nmodule name: "));
    EXPECT_EQ("Killed process [", program.StatusText().substr(0, 16));
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
