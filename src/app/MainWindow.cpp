#include "app/MainWindow.h"

#include "app/ScanWorker.h"
#include "res/resource.h"
#include "review/ProcessKill.h"
#include "review/ProgramList.h"
#include "review/ReportFile.h"

namespace {

BOOL InitMainWindow(HWND window)
{
    InitProgramList(GetDlgItem(window, IDC_PROGRAM_LIST));
    SendDlgItemMessageA(window, IDC_FILTER, BM_SETCHECK, BST_CHECKED, 0);
    if (StartScanWorker(window) < 0)
        EndDialog(window, -1);
    return TRUE;
}

INT_PTR RunCommand(HWND window, WORD command)
{
    switch (command) {
    case IDC_CLOSE:
    case IDCANCEL:
        EndDialog(window, command);
        return TRUE;
    case IDC_FILTER:
        RefreshProgramList(window);
        return FALSE;
    case IDC_VIEW_LOG:
        ViewReport(window);
        return FALSE;
    case IDC_COPY_LOG:
        CopyReportToClipboard(window);
        return FALSE;
    case IDC_KILL:
        KillSelectedPrograms(window);
        return FALSE;
    }
    return FALSE;
}

}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitMainWindow(window);
    case WM_COMMAND:
        return RunCommand(window, LOWORD(wParam));
    }
    return FALSE;
}

void SetControlsEnabled(HWND window, BOOL enable)
{
    static const int kTableCommands[] = {IDC_COPY_LOG, IDC_VIEW_LOG, IDC_KILL, IDC_FILTER};
    for (int id : kTableCommands)
        EnableWindow(GetDlgItem(window, id), enable);
}
