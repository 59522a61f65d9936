#include "app/ScanProgress.h"

#include <atomic>
#include <commctrl.h>

#include "res/resource.h"
#include "support/BoundedString.h"

namespace {

// Painting the status line and the list for every module costs more than verifying it (the
// worker waits for each sent message while the interface thread paints), so the display
// follows the scan at this pace.
const ULONGLONG kDisplayIntervalMs = 250;

std::atomic<bool> gStopRequested(false);
ULONGLONG gLastDisplay = 0;

void RepaintList(HWND list)
{
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

}

void PostProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PostMessageA(GetDlgItem(window, IDC_PROGRESS), message, wParam, lParam);
}

void StepProgress(HWND window)
{
    PostProgress(window, PBM_STEPIT, 0, 0);
}

void BeginScanDisplay(HWND window)
{
    SendDlgItemMessageA(window, IDC_PROGRAM_LIST, WM_SETREDRAW, FALSE, 0);
    gLastDisplay = 0;
}

void ShowVerifying(HWND window, const char* modulePath)
{
    StepProgress(window);
    const ULONGLONG now = GetTickCount64();
    if (gLastDisplay != 0 && now - gLastDisplay < kDisplayIntervalMs)
        return;
    gLastDisplay = now;

    char status[kTextChars] = {0};
    BoundedFormat(status, kTextChars, "Verifying program: %s", modulePath);
    SetDlgItemTextA(window, IDC_STATUS, status);
    const HWND list = GetDlgItem(window, IDC_PROGRAM_LIST);
    RepaintList(list);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
}

void EndScanDisplay(HWND window)
{
    RepaintList(GetDlgItem(window, IDC_PROGRAM_LIST));
}

void RequestScanStop()
{
    gStopRequested = true;
}

bool ScanStopRequested()
{
    return gStopRequested;
}
