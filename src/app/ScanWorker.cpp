#include "app/ScanWorker.h"

#include <commctrl.h>

#include "app/MainWindow.h"
#include "app/ScanProgress.h"
#include "inventory/ProcessScan.h"
#include "res/resource.h"
#include "update/UpdateCheck.h"

namespace {

const WPARAM kProgressFull = 10000;

HANDLE gWorkerThread = NULL;

}

DWORD WINAPI ScanWorkerMain(LPVOID parameter)
{
    const HWND window = (HWND)parameter;

    SetDlgItemTextA(window, IDC_STATUS, "Checking for KestrovaneTool update...");
    CheckForUpdate(window);
    if (ScanStopRequested())
        return 0;

    SetDlgItemTextA(window, IDC_STATUS, "Scanning programs...");
    SetControlsEnabled(window, FALSE);
    PostProgress(window, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressFull));
    PostProgress(window, PBM_SETPOS, 0, 0);
    BeginScanDisplay(window);
    ScanPrograms(window);
    EndScanDisplay(window);

    SetDlgItemTextA(window, IDC_STATUS, "Scanning completed...");
    PostProgress(window, PBM_SETPOS, kProgressFull, 0);
    SetControlsEnabled(window, TRUE);
    return 0;
}

ResultCode StartScanWorker(HWND window)
{
    DWORD threadId = 0;
    gWorkerThread = CreateThread(NULL, 0, ScanWorkerMain, window, 0, &threadId);
    if (gWorkerThread == NULL)
        return FailureFromLastError();
    return S_OK;
}

// Closing the program while the worker runs. The worker may be inside a verification that
// calls into the trust libraries, which the exit handlers unload. So the entry, once the window
// has ended, calls RequestScanStop (the scan checks it before each module) and then this wait,
// bounded so that a worker stuck on the network cannot hold the program open. When the wait
// runs out, the entry ends the process with TerminateProcess on itself: no exit handler and no
// library detach code runs, so the libraries are never unloaded under a running verification
// and no lock the worker might hold is waited for. Messages are handled during the wait
// because the worker sends its status texts to this thread and would otherwise wait for us
// while we wait for it.
bool WaitForScanWorker(DWORD timeoutMs)
{
    if (gWorkerThread == NULL)
        return true;

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool ended = false;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? (DWORD)(deadline - now) : 0;
        const DWORD wait = MsgWaitForMultipleObjects(1, &gWorkerThread, FALSE, left, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (wait != WAIT_OBJECT_0 + 1)
            break;
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (ended) {
        CloseHandle(gWorkerThread);
        gWorkerThread = NULL;
    }
    return ended;
}
