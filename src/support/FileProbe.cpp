#include "support/FileProbe.h"

#include <windows.h>

bool FileExists(const char* path)
{
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA(path, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}
