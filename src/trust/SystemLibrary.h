// Loading the trust libraries from the system directory only. Loading them by bare name would
// search the program's own folder first, so a library planted beside the program (in a
// download folder, say) would run inside the very check meant to catch it.
#pragma once

#include <windows.h>

// Loads name from the system directory: with LOAD_LIBRARY_SEARCH_SYSTEM32 where the system
// understands it, otherwise by LoadFromSystemDirectory.
HMODULE LoadSystemLibrary(const char* name);

// Loads name by its full path under GetSystemDirectoryA; NULL when that path does not fit.
HMODULE LoadFromSystemDirectory(const char* name);

// How the binding loads and unloads libraries and finds entry points. Tests replace it to reach
// a missing library or entry point.
struct TrustLibraryLoader {
    HMODULE (*load)(const char* name);
    FARPROC (*lookup)(HMODULE module, const char* name);
    void (*unload)(HMODULE module);
};

extern const TrustLibraryLoader kSystemLibraryLoader;
extern const TrustLibraryLoader* gTrustLibraryLoader;
