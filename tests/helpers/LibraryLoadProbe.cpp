// Loads WinTrust.dll one way and exits 0 when it got a module:
//
//   LibraryLoadProbe bare       LoadLibraryA by bare name (searches the program's folder first)
//   LibraryLoadProbe system     LoadSystemLibrary
//   LibraryLoadProbe fallback   LoadFromSystemDirectory
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "trust/SystemLibrary.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    HMODULE module = NULL;
    if (strcmp(argv[1], "bare") == 0)
        module = LoadLibraryA("WinTrust.dll");
    else if (strcmp(argv[1], "system") == 0)
        module = LoadSystemLibrary("WinTrust.dll");
    else if (strcmp(argv[1], "fallback") == 0)
        module = LoadFromSystemDirectory("WinTrust.dll");
    else
        return 2;
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(module, path, MAX_PATH);
    printf("%s\n", path);
    return module != NULL ? 0 : 1;
}
