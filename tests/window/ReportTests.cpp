// The report file, View Log and Copy Log.
#include "TableWindow.h"

#include "RunningProgram.h"

#include "review/ReportFile.h"

namespace {

const std::string kRule = "----------------------------------\r\n";
const std::string kHeader =
    "Kestrovane Tool - Malware Debugging Tool[1.0.0.1]\r\n\r\nRunning Programs[Not Verified]:\r\n" + kRule;

class ReportTest : public TableWindowTest {
protected:
    void SetUp() override
    {
        TableWindowTest::SetUp();
        report_ = scratch_.Join("Kestrovane.txt");
        strcpy(gSession.reportPath, report_.c_str());
    }
    void TearDown() override
    {
        gSession.reportPath[0] = 0;
        TableWindowTest::TearDown();
    }

    // The clipboard's text as another process reads it.
    std::string ClipboardText() const
    {
        const std::string copy = scratch_.Join("clipboard.txt");
        DeleteFileA(copy.c_str());
        if (RunToEnd(BuiltFile("ClipboardProbe.exe"), "read \"" + copy + "\"", NULL) != 0)
            return "<unreadable>";
        return ReadFileBytes(copy);
    }

    std::string report_;
};

TEST_F(ReportTest, AnEmptyTableGivesTheHeaderAndTheClosingRule)
{
    EXPECT_EQ(Hex(S_OK), Hex(WriteReport(report_.c_str())));
    EXPECT_EQ(kHeader + kRule, ReadFileBytes(report_));
}

TEST_F(ReportTest, ListsEveryUnverifiedRecordKilledOrNot)
{
    PutRecord("C:\\apps\\a.dll", "C:\\apps\\Host.exe", 1, 0, 0);
    PutRecord("C:\\apps\\signed.dll", "C:\\apps\\Host.exe", 1, 1, 0);
    PutRecord("C:\\apps\\b.dll", "C:\\apps\\Gone.exe", 2, 0, 1);
    PutRecord("C:\\apps\\c.dll", "NoFolder.exe", 3, 0, 0);
    strcpy(PutRecord("C:\\apps\\d.dll", "C:\\apps\\Host.exe", 1, 0, 0).companyName, "");

    EXPECT_EQ(Hex(S_OK), Hex(WriteReport(report_.c_str())));
    EXPECT_EQ(kHeader +
                  "C:\\apps\\a.dll[Host.exe]|Company\r\n"
                  "C:\\apps\\b.dll[Gone.exe]|Company\r\n"
                  "C:\\apps\\c.dll|Company\r\n"
                  "C:\\apps\\d.dll[Host.exe]|\r\n" +
                  kRule,
              ReadFileBytes(report_));
}

TEST_F(ReportTest, CopyLogPutsTheWholeReportOnTheClipboard)
{
    const std::string longModule = "C:\\" + std::string(280, 'l') + ".dll";
    PutRecord("C:\\apps\\a.dll", "C:\\apps\\Host.exe", 1, 0, 0);
    ProgramRecord& longRecord = PutRecord("C:\\x.dll", "C:\\apps\\Host.exe", 1, 0, 0);
    strcpy(longRecord.modulePath, longModule.substr(0, 259).c_str());
    strcpy(longRecord.companyName, std::string(30, 'c').c_str());
    const std::string exact = "C:\\" + std::string(238, 'e') + "[Host.exe]|Company";
    ASSERT_EQ(259u, exact.size());
    PutRecord("C:\\" + std::string(238, 'e'), "C:\\apps\\Host.exe", 1, 0, 0);

    EXPECT_EQ(Hex(S_OK), Hex(CopyReportToClipboard(window_)));
    const std::string longLine = longModule.substr(0, 259) + "[Host.exe]|" + std::string(30, 'c');
    ASSERT_GT(longLine.size(), 299u);
    EXPECT_EQ(kHeader + "C:\\apps\\a.dll[Host.exe]|Company\r\n" + longLine + "\r\n" + exact + "\r\n" +
                  kRule + "\r\n",
              ClipboardText());
    EXPECT_EQ(ReadFileBytes(report_) + "\r\n", ClipboardText());
}

TEST_F(ReportTest, CopyLogFailsOnAHeldClipboardButRewritesTheReport)
{
    const std::string ready = "KestrovaneClipboardHeld-" + std::to_string(GetCurrentProcessId());
    const HANDLE event = CreateEventA(NULL, TRUE, FALSE, ready.c_str());
    std::string commandLine = "\"" + BuiltFile("ClipboardProbe.exe") + "\" hold " + ready + " 3000";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION holder = {};
    ASSERT_TRUE(CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &holder));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 10000));

    PutRecord("C:\\apps\\a.dll", "C:\\apps\\Host.exe", 1, 0, 0);
    EXPECT_EQ(Hex(E_FAIL), Hex(CopyReportToClipboard(window_)));
    EXPECT_EQ(kHeader + "C:\\apps\\a.dll[Host.exe]|Company\r\n" + kRule, ReadFileBytes(report_));

    WaitForSingleObject(holder.hProcess, 10000);
    CloseHandle(holder.hThread);
    CloseHandle(holder.hProcess);
    CloseHandle(event);
}

TEST_F(ReportTest, CopyLogHandsOverAnEmptyTextWhenTheReportCannotBeRead)
{
    const std::string unreachable = scratch_.Join("missing\\Kestrovane.txt");
    strcpy(gSession.reportPath, unreachable.c_str());
    PutRecord("C:\\apps\\a.dll", "C:\\apps\\Host.exe", 1, 0, 0);
    EXPECT_EQ(Hex(E_FAIL), Hex(CopyReportToClipboard(window_)));
    EXPECT_EQ("", ClipboardText());
    EXPECT_FALSE(IsFolder(scratch_.Join("missing")));
}

struct TitleSearch {
    std::string part;
    HWND found;
};

BOOL CALLBACK FindTitleContaining(HWND window, LPARAM parameter)
{
    TitleSearch* search = (TitleSearch*)parameter;
    char title[512] = {0};
    GetWindowTextA(window, title, sizeof(title));
    if (!IsWindowVisible(window) || std::string(title).find(search->part) == std::string::npos)
        return TRUE;
    search->found = window;
    return FALSE;
}

TEST_F(ReportTest, ViewLogWritesTheReportAndHandsItToTheShell)
{
    PutRecord("C:\\apps\\a.dll", "C:\\apps\\Host.exe", 1, 0, 0);
    EXPECT_EQ(Hex(S_OK), Hex(ViewReport(window_)));
    EXPECT_EQ(kHeader + "C:\\apps\\a.dll[Host.exe]|Company\r\n" + kRule, ReadFileBytes(report_));

    // The shell opens the text file in its viewer, whose window names the file.
    TitleSearch search = {"Kestrovane.txt", NULL};
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (search.found == NULL && GetTickCount64() < deadline) {
        EnumWindows(FindTitleContaining, (LPARAM)&search);
        Sleep(100);
    }
    ASSERT_NE(nullptr, search.found) << "no window shows the report";
    PostMessageA(search.found, WM_CLOSE, 0, 0);
}

TEST_F(ReportTest, ViewLogWithoutAReportPathFails)
{
    gSession.reportPath[0] = 0;
    EXPECT_EQ(Hex(E_FAIL), Hex(ViewReport(window_)));
}

}
