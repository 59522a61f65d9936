// The clipboard seen from another process.
//
//   ClipboardProbe read FILE              writes the clipboard's CF_TEXT to FILE, byte for byte
//   ClipboardProbe hold READY-EVENT MS    opens the clipboard, sets the event, keeps it MS ms
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ClipboardFile.h"

namespace {

int Hold(const char* ready, DWORD ms)
{
    const HWND owner = CreateWindowA("STATIC", "clipboard holder", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    if (!OpenClipboard(owner))
        return 1;
    const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
    SetEvent(event);
    CloseHandle(event);
    Sleep(ms);
    CloseClipboard();
    DestroyWindow(owner);
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "read") == 0)
        return WriteClipboardText(argv[2]);
    if (argc == 4 && strcmp(argv[1], "hold") == 0)
        return Hold(argv[2], (DWORD)atoi(argv[3]));
    fprintf(stderr, "usage: ClipboardProbe read FILE | hold READY-EVENT MS\n");
    return 2;
}
