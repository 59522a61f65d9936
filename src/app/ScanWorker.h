// The scan worker: one background thread per run that checks for an update, then scans, and
// reports its stages on the window's status line and progress bar.
#pragma once

#include <windows.h>

#include "support/ResultCode.h"

// The thread's start routine; parameter is the main window. Always answers 0.
DWORD WINAPI ScanWorkerMain(LPVOID parameter);

// Starts the worker for the main window and keeps its thread handle for WaitForScanWorker.
ResultCode StartScanWorker(HWND window);

// Waits up to timeoutMs for the worker to end, handling the messages sent to this thread
// meanwhile. True when it has ended (or never started).
bool WaitForScanWorker(DWORD timeoutMs);
