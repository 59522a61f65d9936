// The Kill command over real module hosts, its message boxes answered from another thread.
#include "TableWindow.h"

#include <commctrl.h>

#include <memory>

#include "MessageBoxAnswerer.h"
#include "inventory/ProcessScan.h"
#include "res/resource.h"
#include "review/ProcessKill.h"
#include "review/ProgramList.h"

namespace {

const char kTitle[] = "Kestrovane Tool";

// The executable of a running process as the scan records it.
std::string ImageOf(DWORD processId)
{
    char path[kTextChars] = {0};
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process != NULL) {
        ReadProcessImagePath(process, path, kTextChars);
        CloseHandle(process);
    }
    return path;
}

class KillTest : public TableWindowTest {
protected:
    void SetUp() override
    {
        TableWindowTest::SetUp();
        inFolder_.reset(new ScopedCurrentDirectory(scratch_.Path()));
    }
    void TearDown() override
    {
        inFolder_.reset();
        TableWindowTest::TearDown();
    }

    // Starts a host and gives it records for three modules; answers the host's index.
    size_t StartHost(HostWindow window)
    {
        const std::vector<std::string> libraries = {FixturePath("CompanyLibrary.dll")};
        EXPECT_TRUE(hosts_.Start(libraries, window));
        const size_t host = hosts_.Count() - 1;
        const DWORD id = hosts_.ProcessId(host);
        const std::string image = ImageOf(id);
        EXPECT_FALSE(image.empty());
        for (int i = 0; i < 3; i++)
            PutRecord("C:\\host" + std::to_string(id) + "\\module" + std::to_string(i) + ".dll", image, id, 0, 0);
        return host;
    }

    void ShowAndTick(const std::vector<LONG>& records)
    {
        RefreshProgramList(window_);
        for (LONG i : records)
            ListView_SetCheckState(list_, gSession.table.records[i].listRow, TRUE);
    }

    std::string Status() const
    {
        char text[kTextChars] = {0};
        GetDlgItemTextA(window_, IDC_STATUS, text, kTextChars);
        return text;
    }
    std::string Log() const { return ReadFileBytes(scratch_.Join("Trenovaskil.log")); }

    ModuleHosts hosts_;
    std::unique_ptr<ScopedCurrentDirectory> inFolder_;
};

std::string Confirmation(const ProgramRecord& record)
{
    return std::string("Do you want to kill following program?\r\n\r\nmodule name: ") + record.modulePath +
           "\r\nprocess name: " + record.processImagePath + "\r\nowner name: " + record.companyName +
           "\r\nprocess id: " + std::to_string(record.processId) + "\r\n";
}

TEST_F(KillTest, ClosesAWindowThatExitsAndRemovesAllRowsOfItsProcess)
{
    const size_t host = StartHost(kClosableWindow);
    const size_t other = StartHost(kNoWindow);
    ShowAndTick({0});
    MessageBoxAnswerer answerer(GetCurrentProcessId(), {IDYES});

    EXPECT_EQ(Hex(S_OK), Hex(KillSelectedPrograms(window_)));

    const std::vector<SeenBox> seen = answerer.Finish();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(kTitle, seen[0].title);
    EXPECT_EQ(Confirmation(gSession.table.records[0]), seen[0].text);
    EXPECT_EQ(7u, hosts_.WaitForExit(host, 5000)) << "ended by its own WM_CLOSE, not terminated";
    EXPECT_EQ("Killed process [" + std::string(gSession.table.records[0].processImagePath) + "] successfully",
              Status());
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(1, gSession.table.records[i].killed) << i;

    for (bool unverifiedOnly : {true, false}) {
        SetFilter(unverifiedOnly);
        RefreshProgramList(window_);
        const std::vector<ListRow> rows = Rows();
        ASSERT_EQ(3u, rows.size());
        EXPECT_EQ(gSession.table.records[3].modulePath, rows[0].module);
    }
    EXPECT_EQ((DWORD)STILL_ACTIVE, hosts_.WaitForExit(other, 0));
}

TEST_F(KillTest, TerminatesWithExitCodeOne)
{
    const size_t stubborn = StartHost(kStubbornWindow);
    const size_t windowless = StartHost(kNoWindow);
    ShowAndTick({0, 3});
    MessageBoxAnswerer answerer(GetCurrentProcessId(), {IDYES, IDYES});

    const ULONGLONG start = GetTickCount64();
    KillSelectedPrograms(window_);
    const ULONGLONG took = GetTickCount64() - start;

    EXPECT_EQ(2u, answerer.Finish().size());
    EXPECT_EQ(1u, hosts_.WaitForExit(stubborn, 5000));
    EXPECT_EQ(1u, hosts_.WaitForExit(windowless, 5000));
    EXPECT_GE(took, 9500u) << "the stubborn window got its 10 seconds";
    EXPECT_LT(took, 15000u) << "the windowless host was not waited for";
    EXPECT_TRUE(Rows().empty());
}

TEST_F(KillTest, AsksOncePerProcessEvenWithSeveralRowsTicked)
{
    const size_t host = StartHost(kNoWindow);
    ShowAndTick({0, 1, 2});
    MessageBoxAnswerer answerer(GetCurrentProcessId(), {IDYES, IDYES, IDYES});
    KillSelectedPrograms(window_);
    EXPECT_EQ(1u, answerer.Finish().size());
    EXPECT_EQ(1u, hosts_.WaitForExit(host, 5000));
}

TEST_F(KillTest, LeavesEverythingWhenTheUserDeclines)
{
    const size_t host = StartHost(kNoWindow);
    ShowAndTick({1});
    SetDlgItemTextA(window_, IDC_STATUS, "Scanning completed...");
    MessageBoxAnswerer answerer(GetCurrentProcessId(), {IDNO});
    KillSelectedPrograms(window_);
    EXPECT_EQ(1u, answerer.Finish().size());
    EXPECT_EQ((DWORD)STILL_ACTIVE, hosts_.WaitForExit(host, 200));
    EXPECT_TRUE(ListView_GetCheckState(list_, 1));
    EXPECT_EQ(3u, Rows().size());
    EXPECT_EQ("Scanning completed...", Status());
}

TEST_F(KillTest, OnlyWarnsWhenNothingIsTicked)
{
    StartHost(kNoWindow);
    for (bool withRows : {true, false}) {
        SCOPED_TRACE(withRows ? "rows, none ticked" : "empty list");
        if (withRows)
            ShowAndTick({});
        else
            gSession.table.count = 0;
        MessageBoxAnswerer answerer(GetCurrentProcessId(), {IDOK});
        KillSelectedPrograms(window_);
        const std::vector<SeenBox> seen = answerer.Finish();
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ(kTitle, seen[0].title);
        EXPECT_EQ("Please select a program to kill", seen[0].text);
    }
    EXPECT_EQ((DWORD)STILL_ACTIVE, hosts_.WaitForExit(0, 0));
}

TEST_F(KillTest, ReportsAProcessThatCannotBeOpened)
{
    const DWORD gone = 4000000;
    PutRecord("C:\\gone\\module.dll", "C:\\gone\\Gone.exe", gone, 0, 0);
    ShowAndTick({0});
    MessageBoxAnswerer answerer(GetCurrentProcessId(), {IDYES});
    KillSelectedPrograms(window_);
    answerer.Finish();

    EXPECT_EQ("Fail to kill process [C:\\gone\\Gone.exe]", Status());
    EXPECT_EQ("Cannot Open Process: 4000000, Error Code: 87\r\n", Log());
    EXPECT_EQ(0, gSession.table.records[0].killed);
    EXPECT_EQ(1u, Rows().size());
}

TEST_F(KillTest, LeavesAProcessWhoseIdNowRunsAnotherProgram)
{
    const size_t host = StartHost(kNoWindow);
    ProgramRecord& record = gSession.table.records[0];
    strcpy(record.processImagePath, "C:\\Program Files\\Old\\Program.exe");
    ShowAndTick({0});
    MessageBoxAnswerer answerer(GetCurrentProcessId(), {IDYES});
    KillSelectedPrograms(window_);
    answerer.Finish();

    EXPECT_EQ((DWORD)STILL_ACTIVE, hosts_.WaitForExit(host, 500));
    EXPECT_EQ("Fail to kill process [C:\\Program Files\\Old\\Program.exe]", Status());
    EXPECT_EQ("Process " + std::to_string(record.processId) +
                  " no longer runs C:\\Program Files\\Old\\Program.exe\r\n",
              Log());
    EXPECT_EQ(0, record.killed);
}

TEST(KillProcess, FailsWithoutAHandle)
{
    ScratchFolder scratch;
    ScopedCurrentDirectory inFolder(scratch.Path());
    bool killed = false;
    EXPECT_EQ(Hex(0x80070057), Hex(KillProcess(4000000, &killed)));
    EXPECT_FALSE(killed);
}

}
