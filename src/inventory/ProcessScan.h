// The walk over every running process and every module loaded in it.
#pragma once

#include <windows.h>

#include "support/BoundedString.h"

// Walks the processes and their modules into the program table, stepping the window's progress
// bar and showing "Verifying program: %s" for each module after a process's main one. Each
// module is recorded at the file mapped in the process. A process that cannot be read gets a
// line in the diagnostic log. Stops when the table is full or the program is closing. Answers the code of the last process
// examined (a failure to open it, or S_OK).
ResultCode ScanPrograms(HWND window);

// Enables the debug privilege in the program's own token; false when the token cannot be opened.
bool EnableDebugPrivilege();

// Maps the path reported for a process's main module to an existing file: the path itself when
// it names one, else the system directory joined with its file name (the form a path reported in
// the kernel's own notation needs). A path without a backslash leaves out unchanged.
ResultCode NormalizeImagePath(const char* reportedPath, char* out, size_t cch);

// The path of a process's executable as the scan records it: the file mapped as its main
// module, normalised. The process needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ access.
ResultCode ReadProcessImagePath(HANDLE process, char* out, size_t cch);

// Lists the modules of a process, 32-bit and 64-bit ones alike, into a new array (the caller frees *modules), starting with
// room for firstRoom handles and asking again with a larger array until all fit.
ResultCode ListProcessModules(HANDLE process, DWORD firstRoom, HMODULE** modules, DWORD* count);
