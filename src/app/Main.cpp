// The program's entry: a single modal window over the session state.
#include <windows.h>
#include <commctrl.h>

#include "app/Handover.h"
#include "app/MainWindow.h"
#include "app/ScanProgress.h"
#include "app/ScanWorker.h"
#include "app/SessionState.h"
#include "res/resource.h"

namespace {

// How long the closing program waits for the scan worker to finish its current module.
const DWORD kWorkerExitWaitMs = 5000;

}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int handedOverExit = 0;
    if (RunHandover(&handedOverExit) == S_OK)
        return handedOverExit;

    InitCommonControls();
    InitSession();

    const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL,
                                           MainDialogProc, 0);
    const int exitCode = (result == 0) ? 1 : 0;

    RequestScanStop();
    if (!WaitForScanWorker(kWorkerExitWaitMs))
        TerminateProcess(GetCurrentProcess(), (UINT)exitCode);
    return exitCode;
}
