#include "inventory/ProcessScan.h"

#include <psapi.h>
#include <stdlib.h>
#include <string.h>
#include <tlhelp32.h>

#include "app/ScanProgress.h"
#include "app/SessionState.h"
#include "inventory/ProgramTable.h"
#include "support/DiagnosticLog.h"
#include "support/FileProbe.h"

namespace {

const DWORD kFirstProcessIds = 1024;
const DWORD kMostProcessIds = 1 << 20;
const DWORD kFirstModules = 2048;
const DWORD kProcessAllAccess = 0x1F0FFF;

bool TableFull()
{
    return gSession.table.count >= kMaxPrograms;
}

// All process ids, asking again with twice the room while the call fails (up to a bound, so a
// call that always fails cannot keep the scan asking, nor the size wrap around).
ResultCode ListProcessIds(DWORD** ids, DWORD* count)
{
    *ids = NULL;
    *count = 0;
    for (DWORD room = kFirstProcessIds; room <= kMostProcessIds; room *= 2) {
        DWORD* buffer = (DWORD*)malloc(room * sizeof(DWORD));
        if (buffer == NULL)
            return E_FAIL;
        DWORD bytes = 0;
        if (EnumProcesses(buffer, room * sizeof(DWORD), &bytes)) {
            *ids = buffer;
            *count = bytes / sizeof(DWORD);
            return S_OK;
        }
        free(buffer);
    }
    return E_FAIL;
}

// The paths of a process's modules, read in one pass. GetModuleFileNameExA walks the process's
// whole module list again for every module it is asked about (under Wine with a round trip to
// the server for each entry), which cost more than verifying the modules; one snapshot of the
// list costs a single walk.
struct ModulePaths {
    MODULEENTRY32* entries;
    DWORD count;
};

void ReadModulePaths(DWORD processId, ModulePaths* paths)
{
    paths->entries = NULL;
    paths->count = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    DWORD room = 0;
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
        if (paths->count == room) {
            room = room == 0 ? 256 : room * 2;
            MODULEENTRY32* grown = (MODULEENTRY32*)realloc(paths->entries, room * sizeof(MODULEENTRY32));
            if (grown == NULL)
                break;
            paths->entries = grown;
        }
        paths->entries[paths->count++] = entry;
    }
    CloseHandle(snapshot);
}

// The path of one module: from the snapshot, or else from the process itself. 0 when unknown.
DWORD ModulePath(HANDLE process, const ModulePaths& paths, HMODULE module, char* path)
{
    for (DWORD i = 0; i < paths.count; i++)
        if (paths.entries[i].hModule == module)
            return BoundedCopy(path, kTextChars, paths.entries[i].szExePath) >= 0 ? (DWORD)strlen(path) : 0;
    return GetModuleFileNameExA(process, module, path, (DWORD)kTextChars);
}

// The modules of a process, their paths, and the path of its executable as the scan records it:
// its main module's path, normalised.
struct ProcessModules {
    HMODULE* modules;
    DWORD count;
    ModulePaths paths;
    char imagePath[kTextChars];
};

ResultCode ReadProcessModules(HANDLE process, DWORD processId, ProcessModules* read)
{
    memset(read, 0, sizeof(*read));
    ResultCode result = ListProcessModules(process, kFirstModules, &read->modules, &read->count);
    if (result >= 0 && read->count == 0)
        result = E_FAIL;
    if (result < 0)
        return result;
    ReadModulePaths(processId, &read->paths);
    char mainPath[kTextChars] = {0};
    if (ModulePath(process, read->paths, read->modules[0], mainPath) == 0)
        return FailureFromLastError();
    NormalizeImagePath(mainPath, read->imagePath, kTextChars);
    return S_OK;
}

void FreeProcessModules(ProcessModules* read)
{
    free(read->paths.entries);
    free(read->modules);
}

// The main module first, then every further module, each into the table.
void ScanProcess(HWND window, HANDLE process, DWORD processId)
{
    ProcessModules read;
    if (ReadProcessModules(process, processId, &read) >= 0) {
        AddProgram(window, read.imagePath, read.imagePath, processId);
        for (DWORD k = 1; k < read.count && !TableFull() && !ScanStopRequested(); k++) {
            char modulePath[kTextChars] = {0};
            if (ModulePath(process, read.paths, read.modules[k], modulePath) == 0)
                continue;
            ShowVerifying(window, modulePath);
            AddProgram(window, modulePath, read.imagePath, processId);
        }
    }
    FreeProcessModules(&read);
}

}

ResultCode ScanPrograms(HWND window)
{
    if (!EnableDebugPrivilege())
        return E_FAIL;

    DWORD* ids = NULL;
    DWORD idCount = 0;
    ResultCode result = ListProcessIds(&ids, &idCount);
    if (result < 0)
        return result;

    const DWORD self = GetCurrentProcessId();
    for (DWORD i = 0; i < idCount && !TableFull() && !ScanStopRequested(); i++) {
        result = S_OK;
        if (ids[i] == 0 || ids[i] == self)
            continue;
        const HANDLE process = OpenProcess(kProcessAllAccess, FALSE, ids[i]);
        if (process == NULL) {
            result = ResultFromLastError();
            continue;
        }
        ScanProcess(window, process, ids[i]);
        CloseHandle(process);
    }
    free(ids);
    return result;
}

bool EnableDebugPrivilege()
{
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), MAXIMUM_ALLOWED, &token))
        return false;

    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = 20;  // SE_DEBUG_PRIVILEGE
    privileges.Privileges[0].Luid.HighPart = 0;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous = {};
    DWORD previousLength = 0;
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(previous), &previous, &previousLength);
    CloseHandle(token);
    return true;
}

ResultCode NormalizeImagePath(const char* reportedPath, char* out, size_t cch)
{
    if (reportedPath == NULL || out == NULL)
        return E_INVALIDARG;
    if (FileExists(reportedPath))
        return cch > kMaxCch ? E_INVALIDARG : BoundedCopy(out, cch, reportedPath);

    char systemDirectory[kTextChars + 1] = {0};
    const UINT length = GetSystemDirectoryA(systemDirectory, (UINT)sizeof(systemDirectory));
    if (length == 0 || length >= sizeof(systemDirectory)) {
        const ResultCode result = length == 0 ? FailureFromLastError() : STRSAFE_E_INSUFFICIENT_BUFFER;
        WriteDiagnostic("GetSystemDirectory failed: hr = %x\n", (unsigned)result);
        return result;
    }

    const char* tail = strrchr(reportedPath, '\\');
    if (tail == NULL)
        return S_OK;
    return BoundedFormat(out, cch, "%s%s", systemDirectory, tail);
}

ResultCode ReadProcessImagePath(HANDLE process, DWORD processId, char* out, size_t cch)
{
    ProcessModules read;
    ResultCode result = ReadProcessModules(process, processId, &read);
    if (result >= 0)
        result = cch > kMaxCch ? E_INVALIDARG : BoundedCopy(out, cch, read.imagePath);
    FreeProcessModules(&read);
    return result;
}

ResultCode ListProcessModules(HANDLE process, DWORD firstRoom, HMODULE** modules, DWORD* count)
{
    *modules = NULL;
    *count = 0;
    DWORD room = firstRoom;
    for (;;) {
        HMODULE* buffer = (HMODULE*)malloc(room * sizeof(HMODULE));
        if (buffer == NULL)
            return E_OUTOFMEMORY;
        DWORD needed = 0;
        if (!EnumProcessModules(process, buffer, room * sizeof(HMODULE), &needed)) {
            const ResultCode result = FailureFromLastError();
            free(buffer);
            return result;
        }
        // The process may load more modules between two calls: ask until the answer fits.
        if (needed <= room * sizeof(HMODULE)) {
            *modules = buffer;
            *count = needed / sizeof(HMODULE);
            return S_OK;
        }
        free(buffer);
        room = needed / sizeof(HMODULE) + 64;
    }
}
