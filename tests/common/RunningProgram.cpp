#include "RunningProgram.h"

#include <algorithm>

#include "ModuleHosts.h"
#include "TestFolder.h"

namespace {

struct DialogSearch {
    std::vector<DWORD> processIds;
    bool (*accept)(HWND dialog);
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter)
{
    DialogSearch* search = (DialogSearch*)parameter;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (std::find(search->processIds.begin(), search->processIds.end(), processId) == search->processIds.end() ||
        !IsWindowVisible(window) || ClassName(window) != "#32770" ||
        (search->accept != NULL && !search->accept(window)))
        return TRUE;
    search->found = window;
    return FALSE;
}

// The program's own dialog, not a message box of it (the update question can show first).
bool IsMainWindow(HWND dialog)
{
    return GetDlgItem(dialog, 1001) != NULL;
}

}

std::vector<PROCESSENTRY32> RunningProcesses()
{
    std::vector<PROCESSENTRY32> processes;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return processes;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        processes.push_back(entry);
    CloseHandle(snapshot);
    return processes;
}

std::vector<DWORD> ProcessAndChildren(DWORD processId)
{
    std::vector<DWORD> ids = {processId};
    for (const PROCESSENTRY32& entry : RunningProcesses())
        if (entry.th32ParentProcessID == processId && entry.th32ProcessID != processId)
            ids.push_back(entry.th32ProcessID);
    return ids;
}

void EndProcessAndChildren(DWORD processId)
{
    std::vector<DWORD> ids = ProcessAndChildren(processId);
    // The children first, so that none is left without the process that waits for it.
    std::reverse(ids.begin(), ids.end());
    for (DWORD id : ids) {
        const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (process == NULL)
            continue;
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
}

HWND FindDialog(DWORD processId, bool (*accept)(HWND dialog))
{
    DialogSearch search = {ProcessAndChildren(processId), accept, NULL};
    EnumWindows(MatchDialog, (LPARAM)&search);
    return search.found;
}

std::string ProgramPath()
{
    return BuiltFile("Kestrovane.exe");
}

std::string WindowText(HWND window)
{
    char text[1024] = {0};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG, 5000,
                        &length);
    return text;
}

std::string ClassName(HWND window)
{
    char name[256] = {0};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

DWORD RunToEnd(const std::string& program, const std::string& arguments, const char* folder)
{
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, folder, &startup, &process))
        return (DWORD)-1;
    WaitForSingleObject(process.hProcess, 30000);
    DWORD exitCode = (DWORD)-1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

RunningProgram::RunningProgram(const std::string& workFolder, const std::string& program,
                               const std::string& temporaryFolder)
    : process_(), window_(NULL), windowProcessId_(0)
{
    const std::string& temporary = temporaryFolder.empty() ? workFolder : temporaryFolder;
    ScopedEnvironment tmp("TMP", temporary);
    ScopedEnvironment temp("TEMP", temporary);
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, workFolder.c_str(),
                        &startup, &process_))
        process_ = PROCESS_INFORMATION();
}

RunningProgram::~RunningProgram()
{
    if (!Started())
        return;
    // The 64-bit copy that the program may have handed over to goes with it.
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
        EndProcessAndChildren(process_.dwProcessId);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND RunningProgram::WaitForWindow(DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (Started() && window_ == NULL && GetTickCount64() < deadline) {
        window_ = FindDialog(process_.dwProcessId, IsMainWindow);
        if (window_ == NULL)
            Sleep(50);
    }
    if (window_ != NULL)
        GetWindowThreadProcessId(window_, &windowProcessId_);
    return window_;
}

bool RunningProgram::WaitForStatus(const std::string& text, DWORD timeoutMs) const
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (StatusText() == text)
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(50);
    }
}

bool RunningProgram::WaitForScanEnd(DWORD timeoutMs) const
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    if (!WaitForStatus("Scanning completed...", timeoutMs))
        return false;
    static const int kTableCommands[] = {1000, 1005, 1006, 1004};
    for (int id : kTableCommands) {
        while (!IsWindowEnabled(Control(id))) {
            if (GetTickCount64() >= deadline)
                return false;
            Sleep(20);
        }
    }
    return true;
}

DWORD RunningProgram::WaitForExit(DWORD timeoutMs) const
{
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_.hProcess, &exitCode);
    return exitCode;
}
