// What the main window's template holds, control by control, in template order.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    short x, y, cx, cy;
    DWORD style;
};

const char kExpectedCaptionStart[] = "Kestrovane - Malware Debugging Tool, ";

const ExpectedControl kExpectedControls[] = {
    {104, "msctls_progress32", "", 9, 25, 369, 6, WS_CHILD | WS_VISIBLE | WS_BORDER},
    {1007, "button", "&Close", 332, 274, 48, 13,
     WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {1000, "button", "&Copy Log", 251, 274, 71, 13,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    {1001, "SysListView32", "", 9, 41, 370, 226,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_ALIGNLEFT},
    {1005, "button", "&View Log", 169, 273, 71, 13,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    {1004, "button", "Show only unverified programs", 9, 275, 154, 10,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX},
    {-1, "static", "", 10, 9, 370, 10, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT},
    {-1, "static", "https://kestrovane.example/", 3, 300, 386, 9,
     WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER},
    {1006, "button", "&Kill", 383, 116, 15, 72, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
};

// The commands that are disabled while the scan fills the table.
const int kTableCommands[] = {1000, 1005, 1006, 1004};
