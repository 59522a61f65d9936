#include "inventory/ProcessScan.h"

#include <psapi.h>
#include <stdlib.h>
#include <string.h>

#include "app/ScanProgress.h"
#include "app/SessionState.h"
#include "inventory/DevicePath.h"
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

// The path of one module: the file that is mapped at its address, as a drive path. A 32-bit
// process records its system libraries under the system folder even where the file it loaded
// lies in the WOW64 folder; the mapped file is the one to judge. The recorded path serves only
// when the mapped name cannot be had. 0 when neither is known.
DWORD ModulePath(HANDLE process, const DriveDeviceMap& drives, HMODULE module, char* path)
{
    char mapped[kTextChars] = {0};
    if (GetMappedFileNameA(process, module, mapped, (DWORD)kTextChars) != 0 &&
        DrivePathFromDevicePath(mapped, &drives, path, kTextChars) >= 0)
        return (DWORD)strlen(path);
    return GetModuleFileNameExA(process, module, path, (DWORD)kTextChars);
}

// The modules of a process and the path of its executable as the scan records it: its main
// module's path, normalised.
struct ProcessModules {
    HMODULE* modules;
    DWORD count;
    char imagePath[kTextChars];
};

// A 32-bit program on 64-bit Windows cannot list the modules of a 64-bit process.
bool IsOutOfReach(HANDLE process)
{
    BOOL selfWow64 = FALSE;
    BOOL targetWow64 = FALSE;
    return sizeof(void*) == 4 && IsWow64Process(GetCurrentProcess(), &selfWow64) && selfWow64 &&
           IsWow64Process(process, &targetWow64) && !targetWow64;
}

// Answers the failure and, in reason, why the process could not be read.
ResultCode ReadProcessModules(HANDLE process, const DriveDeviceMap& drives, ProcessModules* read,
                              const char** reason)
{
    memset(read, 0, sizeof(*read));
    *reason = "";
    if (IsOutOfReach(process)) {
        *reason = "a 64-bit process, out of reach of a 32-bit program";
        return HRESULT_FROM_WIN32(ERROR_PARTIAL_COPY);
    }
    ResultCode result = ListProcessModules(process, kFirstModules, &read->modules, &read->count);
    if (result >= 0 && read->count == 0)
        result = E_FAIL;
    if (result < 0) {
        *reason = "its modules cannot be listed";
        return result;
    }
    char mainPath[kTextChars] = {0};
    if (ModulePath(process, drives, read->modules[0], mainPath) == 0) {
        *reason = "the path of its executable cannot be read";
        return FailureFromLastError();
    }
    NormalizeImagePath(mainPath, read->imagePath, kTextChars);
    return S_OK;
}

// One line in the diagnostic log for a process that the scan leaves out, with its executable's
// path where the system still tells it.
void LogSkippedProcess(DWORD processId, const char* reason, ResultCode result)
{
    char name[kTextChars] = "name unknown";
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process != NULL) {
        DWORD size = (DWORD)kTextChars;
        if (!QueryFullProcessImageNameA(process, 0, name, &size))
            BoundedCopy(name, kTextChars, "name unknown");
        CloseHandle(process);
    }
    WriteDiagnostic("Process %u (%s) not scanned: %s, hr = %x\n", (unsigned)processId, name, reason,
                    (unsigned)result);
}

// The main module first, then every further module, each into the table.
void ScanProcess(HWND window, HANDLE process, DWORD processId, const DriveDeviceMap& drives)
{
    ProcessModules read;
    const char* reason = "";
    const ResultCode result = ReadProcessModules(process, drives, &read, &reason);
    if (result >= 0) {
        AddProgram(window, read.imagePath, read.imagePath, processId);
        for (DWORD k = 1; k < read.count && !TableFull() && !ScanStopRequested(); k++) {
            char modulePath[kTextChars] = {0};
            if (ModulePath(process, drives, read.modules[k], modulePath) == 0)
                continue;
            ShowVerifying(window, modulePath);
            AddProgram(window, modulePath, read.imagePath, processId);
        }
    } else {
        LogSkippedProcess(processId, reason, result);
    }
    free(read.modules);
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

    DriveDeviceMap drives;
    ReadDriveDeviceMap(&drives);
    // The program itself: this process and, in the 64-bit copy, the 32-bit program waiting for it.
    const DWORD self = GetCurrentProcessId();
    for (DWORD i = 0; i < idCount && !TableFull() && !ScanStopRequested(); i++) {
        result = S_OK;
        if (ids[i] == 0 || ids[i] == self || ids[i] == gSession.launcherId)
            continue;
        const HANDLE process = OpenProcess(kProcessAllAccess, FALSE, ids[i]);
        if (process == NULL) {
            result = FailureFromLastError();
            LogSkippedProcess(ids[i], "it cannot be opened", result);
            continue;
        }
        ScanProcess(window, process, ids[i], drives);
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

ResultCode ReadProcessImagePath(HANDLE process, char* out, size_t cch)
{
    DriveDeviceMap drives;
    ReadDriveDeviceMap(&drives);
    ProcessModules read;
    const char* reason = "";
    ResultCode result = ReadProcessModules(process, drives, &read, &reason);
    if (result >= 0)
        result = cch > kMaxCch ? E_INVALIDARG : BoundedCopy(out, cch, read.imagePath);
    free(read.modules);
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
        if (!EnumProcessModulesEx(process, buffer, room * sizeof(HMODULE), &needed, LIST_MODULES_ALL)) {
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
