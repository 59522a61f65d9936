// What the scan, deep below the window code, needs from the scan run: a step of the progress
// bar and the question whether the program is closing.
#pragma once

#include <windows.h>

// Posts a message to the window's progress bar, without waiting.
void PostProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Posts one step (PBM_STEPIT) to the window's progress bar, without waiting.
void StepProgress(HWND window);

// Stops the list from painting while the scan fills it; ShowVerifying repaints it now and then.
void BeginScanDisplay(HWND window);

// Steps the progress bar for a module and, at most every few hundred milliseconds, shows
// "Verifying program: <path>" and repaints the list. The first module is always shown.
void ShowVerifying(HWND window, const char* modulePath);

// Lets the list paint again and repaints it whole.
void EndScanDisplay(HWND window);

// Asks the scan worker to stop at its next check (called once the window has ended).
void RequestScanStop();

// True once RequestScanStop was called. The scan checks it before each module.
bool ScanStopRequested();
