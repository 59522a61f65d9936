// The main window and its scan run inside the test process, with every control recording the
// messages that change it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "ExpectedDialog.h"
#include "ModuleHosts.h"
#include "app/MainWindow.h"
#include "app/ScanProgress.h"
#include "app/ScanWorker.h"
#include "res/resource.h"

namespace {

std::vector<std::string> gSent;      // status texts and enabling, as the worker sends them
std::vector<std::string> gProgress;  // progress-bar messages, as they are carried out
std::map<HWND, WNDPROC> gOriginal;
HWND gStatusLine = NULL;

LRESULT CALLBACK RecordingProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    const std::string id = std::to_string(GetDlgCtrlID(control));
    switch (message) {
    case WM_SETTEXT:
        gSent.push_back((control == gStatusLine ? "status " : "text " + id + " ") +
                        std::string((const char*)lParam));
        break;
    case WM_ENABLE:
        gSent.push_back("enable " + id + (wParam ? " on" : " off"));
        break;
    case PBM_SETRANGE:
        gProgress.push_back("range " + std::to_string(LOWORD(lParam)) + "-" + std::to_string(HIWORD(lParam)));
        break;
    case PBM_SETPOS:
        gProgress.push_back("position " + std::to_string(wParam));
        break;
    case PBM_STEPIT:
        gProgress.push_back("step");
        break;
    }
    return CallWindowProcA(gOriginal[control], control, message, wParam, lParam);
}

// Puts the recorders in place before the real initialisation starts the worker.
INT_PTR CALLBACK RecordingDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        gStatusLine = GetDlgItem(window, IDC_STATUS);
        for (HWND child = GetWindow(window, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT))
            gOriginal[child] = (WNDPROC)SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR)RecordingProc);
    }
    return MainDialogProc(window, message, wParam, lParam);
}

void PumpPendingMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A process of the test's own word size for the scan to find: on 64-bit Windows a 32-bit
        // scan in this process may see no other process it can read.
        ASSERT_TRUE(hosts_.Start({}, kNoWindow));
        InitCommonControls();
        gSent.clear();
        gProgress.clear();
        gOriginal.clear();
        window_ = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL,
                                     RecordingDialogProc, 0);
        ASSERT_NE(nullptr, window_);
        ASSERT_TRUE(WaitForScanWorker(10000)) << "the worker did not end";
        PumpPendingMessages();
    }
    void TearDown() override
    {
        if (window_ != NULL)
            DestroyWindow(window_);
    }

    ModuleHosts hosts_;
    HWND window_ = NULL;
};

// Folds each run of entries that start with prefix into one entry "prefix...", and counts them.
std::vector<std::string> FoldRuns(const std::vector<std::string>& entries, const std::string& prefix,
                                  size_t* count)
{
    std::vector<std::string> folded;
    *count = 0;
    for (const std::string& entry : entries) {
        if (entry.compare(0, prefix.size(), prefix) != 0) {
            folded.push_back(entry);
            continue;
        }
        (*count)++;
        if (folded.empty() || folded.back() != prefix + "...")
            folded.push_back(prefix + "...");
    }
    return folded;
}

TEST_F(MainWindowTest, RunsThroughItsStagesInOrder)
{
    size_t modules = 0;
    const std::vector<std::string> expectedSent = {
        "status Checking for KestrovaneTool update...",
        "status Scanning programs...",
        "enable 1000 off", "enable 1005 off", "enable 1006 off", "enable 1004 off",
        "status Verifying program: ...",
        "status Scanning completed...",
        "enable 1000 on", "enable 1005 on", "enable 1006 on", "enable 1004 on",
    };
    EXPECT_EQ(expectedSent, FoldRuns(gSent, "status Verifying program: ", &modules));
    EXPECT_GT(modules, 0u);

    // Every module steps the bar; the status line shows them at a pace a person can read.
    size_t steps = 0;
    const std::vector<std::string> expectedProgress = {"range 0-10000", "position 0", "step...",
                                                       "position 10000"};
    EXPECT_EQ(expectedProgress, FoldRuns(gProgress, "step", &steps));
    EXPECT_GE(steps, modules);
}

TEST_F(MainWindowTest, TicksTheFilterBoxAndLeavesEveryCommandEnabled)
{
    EXPECT_EQ(BST_CHECKED, SendDlgItemMessageA(window_, IDC_FILTER, BM_GETCHECK, 0, 0));
    for (int id : kTableCommands)
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window_, id))) << id;
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window_, IDC_CLOSE)));
    EXPECT_EQ(10000, SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

TEST_F(MainWindowTest, CommandOneChangesNothing)
{
    const struct {
        WORD id;
        WORD notification;
        INT_PTR expected;
    } cases[] = {
        {IDOK, BN_CLICKED, FALSE},
        {IDOK, BN_DOUBLECLICKED, FALSE},
    };
    gSent.clear();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(c.expected, MainDialogProc(window_, WM_COMMAND, MAKEWPARAM(c.id, c.notification), 0));
        EXPECT_TRUE(IsWindow(window_));
    }
    EXPECT_TRUE(gSent.empty()) << gSent[0];
}

TEST_F(MainWindowTest, StepProgressMovesTheBarByTenWithoutWaiting)
{
    SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_SETPOS, 0, 0);
    gProgress.clear();
    for (int i = 0; i < 3; i++)
        StepProgress(window_);
    EXPECT_TRUE(gProgress.empty()) << "carried out before the message loop ran";
    PumpPendingMessages();
    EXPECT_EQ(std::vector<std::string>({"step", "step", "step"}), gProgress);
    EXPECT_EQ(30, SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

TEST(SetControlsEnabled, TouchesOnlyTheFourTableCommands)
{
    HWND window = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL,
                                     RecordingDialogProc, 0);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(WaitForScanWorker(10000));
    PumpPendingMessages();

    gSent.clear();
    SetControlsEnabled(window, FALSE);
    const std::vector<std::string> expected = {"enable 1000 off", "enable 1005 off",
                                               "enable 1006 off", "enable 1004 off"};
    EXPECT_EQ(expected, gSent);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_CLOSE)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_PROGRAM_LIST)));
    DestroyWindow(window);
}

}
