// Drives a running Kestrovane window from outside, for scripts:
//
//   ProgramDriver wait SECONDS   waits until the window shows "Scanning completed...", then
//                                prints its screen rectangle as "x y width height"
//   ProgramDriver report FILE    presses Copy Log and writes the clipboard's text to FILE
//   ProgramDriver close          closes the window as its close box does
//
// Exits 0 on success, 1 when the window is not found or the wait runs out.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ClipboardFile.h"

namespace {

const char kCaptionStart[] = "Kestrovane - Malware Debugging Tool, ";

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM parameter)
{
    char caption[256] = {0};
    GetWindowTextA(window, caption, sizeof(caption));
    if (strncmp(caption, kCaptionStart, strlen(kCaptionStart)) != 0 || !IsWindowVisible(window))
        return TRUE;
    *(HWND*)parameter = window;
    return FALSE;
}

HWND ProgramWindow()
{
    HWND window = NULL;
    EnumWindows(FindProgramWindow, (LPARAM)&window);
    return window;
}

bool ScanRunEnded(HWND window)
{
    char status[260] = {0};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(GetDlgItem(window, -1), WM_GETTEXT, sizeof(status), (LPARAM)status,
                        SMTO_ABORTIFHUNG, 2000, &length);
    // The commands are enabled again right after the last status text.
    return strcmp(status, "Scanning completed...") == 0 && IsWindowEnabled(GetDlgItem(window, 1004));
}

int Wait(int seconds)
{
    const ULONGLONG deadline = GetTickCount64() + (ULONGLONG)seconds * 1000;
    HWND window = NULL;
    while (GetTickCount64() < deadline) {
        window = ProgramWindow();
        if (window != NULL && ScanRunEnded(window)) {
            Sleep(300);
            RECT rect;
            GetWindowRect(window, &rect);
            printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top);
            return 0;
        }
        Sleep(100);
    }
    fprintf(stderr, window == NULL ? "no Kestrovane window\n" : "the scan did not complete\n");
    return 1;
}

int Report(const char* path)
{
    HWND window = ProgramWindow();
    if (window == NULL) {
        fprintf(stderr, "no Kestrovane window\n");
        return 1;
    }
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), (LPARAM)GetDlgItem(window, 1000));
    return WriteClipboardText(path);
}

int Close()
{
    HWND window = ProgramWindow();
    if (window == NULL) {
        fprintf(stderr, "no Kestrovane window\n");
        return 1;
    }
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "wait") == 0)
        return Wait(atoi(argv[2]));
    if (argc == 3 && strcmp(argv[1], "report") == 0)
        return Report(argv[2]);
    if (argc == 2 && strcmp(argv[1], "close") == 0)
        return Close();
    fprintf(stderr, "usage: ProgramDriver wait SECONDS | report FILE | close\n");
    return 2;
}
