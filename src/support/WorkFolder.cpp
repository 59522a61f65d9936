#include "support/WorkFolder.h"

#include <objbase.h>
#include <string.h>

#include "support/BoundedString.h"

namespace {

bool IsDirectory(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}

ResultCode CreateWorkFolder(char* buffer, size_t capacity)
{
    if (buffer == NULL || capacity == 0)
        return E_INVALIDARG;

    char tempPath[kTextChars] = {0};
    const DWORD length = GetTempPathA((DWORD)kTextChars, tempPath);
    if (length == 0)
        return FailureFromLastError();
    // A longer path does not fit: the system answers the size it needs and leaves the buffer
    // undefined. Never work on a cut path.
    if (length >= kTextChars)
        return STRSAFE_E_INSUFFICIENT_BUFFER;

    if (!IsDirectory(tempPath) && !CreateDirectoryA(tempPath, NULL))
        return FailureFromLastError();

    GUID guid;
    ResultCode result = CoCreateGuid(&guid);
    if (result < 0)
        return result;

    wchar_t guidWide[64] = {0};
    if (StringFromGUID2(guid, guidWide, 64) == 0)
        return E_FAIL;

    char guidText[kTextChars] = {0};
    if (WideCharToMultiByte(CP_ACP, 0, guidWide, -1, guidText, (int)kTextChars, NULL, NULL) == 0)
        return FailureFromLastError();

    const char* format = (tempPath[length - 1] == '\\') ? "%s%s" : "%s\\%s";
    result = BoundedFormat(buffer, capacity, format, tempPath, guidText);
    if (result < 0)
        return result;

    if (IsDirectory(buffer))
        return S_OK;
    if (!CreateDirectoryA(buffer, NULL))
        return FailureFromLastError();
    return S_OK;
}
