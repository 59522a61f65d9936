// The main window: the modal dialog (template IDD_MAIN) and its commands.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Enables or disables the commands that read the program table: Copy Log, View Log, Kill and
// the filter box, in that order. Close and the list stay enabled.
void SetControlsEnabled(HWND window, BOOL enable);
