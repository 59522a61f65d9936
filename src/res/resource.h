// Resource and control ids of the executable.
#pragma once

#define IDI_MAIN 1

#define IDD_MAIN 103

#define IDC_PROGRESS 104
#define IDC_COPY_LOG 1000
#define IDC_PROGRAM_LIST 1001
#define IDC_FILTER 1004
#define IDC_VIEW_LOG 1005
#define IDC_KILL 1006
#define IDC_CLOSE 1007
// Both static texts carry -1; the status line is the first of them, so it is the one that
// SetDlgItemTextA(window, IDC_STATUS, ...) reaches.
#define IDC_STATUS -1

// The 64-bit build of the program, carried by the 32-bit one for 64-bit Windows.
#define IDR_PROGRAM64 200
