#include "RunningProgram.h"

#include "ModuleHosts.h"
#include "TestFolder.h"

namespace {

struct DialogSearch {
    DWORD processId;
    bool (*accept)(HWND dialog);
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter)
{
    DialogSearch* search = (DialogSearch*)parameter;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window) || ClassName(window) != "#32770" ||
        (search->accept != NULL && !search->accept(window)))
        return TRUE;
    search->found = window;
    return FALSE;
}

}

HWND FindDialog(DWORD processId, bool (*accept)(HWND dialog))
{
    DialogSearch search = {processId, accept, NULL};
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

RunningProgram::RunningProgram(const std::string& workFolder, const std::string& program)
    : process_(), window_(NULL)
{
    ScopedEnvironment tmp("TMP", workFolder);
    ScopedEnvironment temp("TEMP", workFolder);
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
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND RunningProgram::WaitForWindow(DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (Started() && window_ == NULL && GetTickCount64() < deadline) {
        window_ = FindDialog(process_.dwProcessId, NULL);
        if (window_ == NULL)
            Sleep(50);
    }
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
