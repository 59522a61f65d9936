#include "ClipboardFile.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

int WriteClipboardText(const char* path)
{
    if (!OpenClipboard(NULL))
        return 1;
    int result = 1;
    const HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data != NULL ? (const char*)GlobalLock(data) : NULL;
    FILE* file = fopen(path, "wb");
    if (text != NULL && file != NULL) {
        fwrite(text, 1, strlen(text), file);
        result = 0;
    }
    if (file != NULL)
        fclose(file);
    if (text != NULL)
        GlobalUnlock(data);
    CloseClipboard();
    return result;
}
