// Ending the processes behind the ticked rows of the program list.
#pragma once

#include <windows.h>

#include "support/ResultCode.h"

struct WindowCloseContext {
    DWORD targetProcessId;
    LONG closePosted;
};

// For each ticked row: asks for confirmation, checks that the process id still runs the
// executable recorded for it, ends the process and marks its records killed; rebuilds the list
// after any kill. Warns when nothing is ticked. Always S_OK.
ResultCode KillSelectedPrograms(HWND window);

// Ends a process: WM_CLOSE to its first top-level window and up to 10 seconds of waiting, else
// TerminateProcess with exit code 1. Sets *killed when the process ended or was terminated;
// never clears it.
ResultCode KillProcess(DWORD processId, bool* killed);

// EnumWindows callback: posts WM_CLOSE to the first top-level window of the context's process.
BOOL CALLBACK CloseFirstWindowOfProcess(HWND window, LPARAM context);
