#include "trust/SystemLibrary.h"

#include "support/BoundedString.h"

namespace {

FARPROC LookupEntryPoint(HMODULE module, const char* name)
{
    return GetProcAddress(module, name);
}

void UnloadLibrary(HMODULE module)
{
    FreeLibrary(module);
}

}

HMODULE LoadSystemLibrary(const char* name)
{
    // The LOAD_LIBRARY_SEARCH_* flags are understood wherever AddDllDirectory exists.
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel != NULL && GetProcAddress(kernel, "AddDllDirectory") != NULL)
        return LoadLibraryExA(name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return LoadFromSystemDirectory(name);
}

HMODULE LoadFromSystemDirectory(const char* name)
{
    char path[kTextChars] = {0};
    const UINT length = GetSystemDirectoryA(path, (UINT)kTextChars);
    if (length == 0 || length >= kTextChars)
        return NULL;
    if (BoundedAppend(path, kTextChars, "\\") < 0 || BoundedAppend(path, kTextChars, name) < 0)
        return NULL;
    return LoadLibraryA(path);
}

const TrustLibraryLoader kSystemLibraryLoader = {LoadSystemLibrary, LookupEntryPoint, UnloadLibrary};
const TrustLibraryLoader* gTrustLibraryLoader = &kSystemLibraryLoader;
