#include "app/Handover.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <stdlib.h>
#include <wchar.h>

#include "app/SessionState.h"
#include "res/resource.h"
#include "support/BoundedString.h"
#include "support/DiagnosticLog.h"
#include "support/WorkFolder.h"

namespace {

const char kCopyName[] = "Kestrovane64.exe";
// RT_RCDATA, spelled for the ANSI call whatever the character set of the build.
const LPCSTR kRawData = MAKEINTRESOURCEA(10);
// The copy's command line: its path, this option and the launcher's process id. No handle is
// inherited, so the copy holds nothing of the launcher's (its standard handles among them).
const wchar_t kLauncherOption[] = L"/launcher";
// How long the removal of the copy waits for the system to let go of its image.
const DWORD kRemoveWaitMs = 10000;

bool RunsUnderWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The id named by "/launcher ID" on the command line; 0 for any other command line.
DWORD LauncherIdArgument()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == NULL)
        return 0;
    DWORD id = 0;
    if (count == 3 && _wcsicmp(arguments[1], kLauncherOption) == 0) {
        wchar_t* end = NULL;
        const unsigned long value = wcstoul(arguments[2], &end, 10);
        if (end != arguments[2] && *end == L'\0')
            id = (DWORD)value;
    }
    LocalFree(arguments);
    return id;
}

DWORD ParentProcessId()
{
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == self)
            parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parent;
}

// True when this process is the copy that a 32-bit program started: the process named on the
// command line is the one that started this one, and it waits for it. Its id and path go into
// the session.
bool ReadLauncher()
{
    const DWORD id = LauncherIdArgument();
    if (id == 0 || id != ParentProcessId())
        return false;
    gSession.launcherId = id;
    const HANDLE launcher = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    DWORD size = (DWORD)kTextChars;
    if (launcher == NULL || !QueryFullProcessImageNameA(launcher, 0, gSession.launcherPath, &size)) {
        gSession.launcherPath[0] = '\0';
        WriteDiagnostic("Cannot read the path of the program that started this one: hr = %x\n",
                        (unsigned)FailureFromLastError());
    }
    return true;
}

ResultCode WriteResourceToFile(HRSRC resource, const char* path)
{
    const DWORD size = SizeofResource(NULL, resource);
    const HGLOBAL loaded = LoadResource(NULL, resource);
    const void* bytes = loaded != NULL ? LockResource(loaded) : NULL;
    if (bytes == NULL || size == 0)
        return E_FAIL;
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FailureFromLastError();
    ResultCode result = S_OK;
    DWORD written = 0;
    if (!WriteFile(file, bytes, size, &written, NULL))
        result = FailureFromLastError();
    else if (written != size)
        result = E_FAIL;
    if (!CloseHandle(file) && result >= 0)
        result = FailureFromLastError();
    if (result < 0)
        DeleteFileA(path);
    return result;
}

// Starts the copy with this process's id on its command line, and the show state this process
// was given.
ResultCode StartCopy(const char* copy, PROCESS_INFORMATION* child)
{
    char commandLine[2 * kTextChars] = {0};
    ResultCode result = BoundedFormat(commandLine, sizeof(commandLine), "\"%s\" /launcher %lu", copy,
                                      (unsigned long)GetCurrentProcessId());
    STARTUPINFOA own = {};
    own.cb = sizeof(own);
    GetStartupInfoA(&own);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = own.dwFlags & STARTF_USESHOWWINDOW;
    startup.wShowWindow = own.wShowWindow;
    if (result >= 0 &&
        !CreateProcessA(copy, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, child))
        result = FailureFromLastError();
    return result;
}

// Waits for the copy and takes its exit code. A copy that cannot be waited for is ended, so that
// this process can run the program itself.
ResultCode WaitForCopy(HANDLE child, int* exitCode)
{
    DWORD code = 0;
    if (WaitForSingleObject(child, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(child, &code)) {
        *exitCode = (int)code;
        return S_OK;
    }
    const ResultCode result = FailureFromLastError();
    TerminateProcess(child, 1);
    WaitForSingleObject(child, kRemoveWaitMs);
    return result;
}

// The system may hold the image of an ended process for a moment: try again for a while, and
// otherwise leave the copy to be deleted at the next restart.
void RemoveCopy(const char* copy, const char* folder)
{
    if (copy[0] != '\0') {
        const ULONGLONG deadline = GetTickCount64() + kRemoveWaitMs;
        bool removed = false;
        for (;;) {
            removed = DeleteFileA(copy) || GetLastError() == ERROR_FILE_NOT_FOUND;
            if (removed || GetTickCount64() >= deadline)
                break;
            Sleep(50);
        }
        if (!removed) {
            WriteDiagnostic("Cannot remove %s: hr = %x\n", copy, (unsigned)FailureFromLastError());
            MoveFileExA(copy, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        }
    }
    if (folder[0] != '\0')
        RemoveDirectoryA(folder);
}

}

ResultCode RunHandover(int* exitCode)
{
    *exitCode = 0;
    if (ReadLauncher() || !RunsUnderWow64())
        return S_FALSE;
    const HRSRC resource = FindResourceA(NULL, MAKEINTRESOURCEA(IDR_PROGRAM64), kRawData);
    if (resource == NULL)
        return S_FALSE;

    char folder[kTextChars] = {0};
    char copy[kTextChars] = {0};
    PROCESS_INFORMATION child = {};
    const char* step = "making its folder";
    ResultCode result = CreateWorkFolder(folder, kTextChars);
    if (result >= 0) {
        step = "writing it";
        result = BoundedFormat(copy, kTextChars, "%s\\%s", folder, kCopyName);
        if (result >= 0)
            result = WriteResourceToFile(resource, copy);
        // Only a copy that this process wrote is removed: a cut path may name another file.
        if (result < 0)
            copy[0] = '\0';
    }
    if (result >= 0) {
        step = "starting it";
        result = StartCopy(copy, &child);
    }
    if (result >= 0) {
        step = "waiting for it";
        result = WaitForCopy(child.hProcess, exitCode);
    }
    if (result < 0)
        WriteDiagnostic("Cannot hand over to the 64-bit program (%s): hr = %x\n", step, (unsigned)result);
    if (child.hProcess != NULL) {
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    RemoveCopy(copy, folder);
    return result;
}
