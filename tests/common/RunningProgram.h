// The real Kestrovane.exe, started by a test and watched from outside its process.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

// Kestrovane.exe beside the test program.
std::string ProgramPath();

// A snapshot of every running process.
std::vector<PROCESSENTRY32> RunningProcesses();

// The process and the processes it started, such as the 64-bit copy that the 32-bit program
// hands its run to on 64-bit Windows.
std::vector<DWORD> ProcessAndChildren(DWORD processId);

// Ends a process and the processes it started, with exit code 99.
void EndProcessAndChildren(DWORD processId);

// The first visible dialog of a process or of a process it started that accept (when given)
// takes; NULL when there is none.
HWND FindDialog(DWORD processId, bool (*accept)(HWND dialog));

// Text of a window of any process (WM_GETTEXT), and its class name.
std::string WindowText(HWND window);
std::string ClassName(HWND window);

// Runs a program with arguments in folder (NULL: this process's folder) until it ends, at most
// 30 seconds; answers its exit code, or (DWORD)-1.
DWORD RunToEnd(const std::string& program, const std::string& arguments, const char* folder);

class RunningProgram {
public:
    // Starts the program (Kestrovane.exe beside the tests unless named) with workFolder as its
    // current directory and, unless another is named, its temporary folder.
    explicit RunningProgram(const std::string& workFolder, const std::string& program = ProgramPath(),
                            const std::string& temporaryFolder = "");
    // Ends the program if it still runs.
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return process_.hProcess != NULL; }
    DWORD ProcessId() const { return process_.dwProcessId; }

    // The program's dialog once it is visible; NULL after timeoutMs.
    HWND WaitForWindow(DWORD timeoutMs);
    HWND Window() const { return window_; }
    // The process that shows the window: the started one, or the 64-bit copy it handed over to.
    DWORD WindowProcessId() const { return windowProcessId_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    std::string StatusText() const { return WindowText(Control(-1)); }

    // True once the status line shows text, within timeoutMs.
    bool WaitForStatus(const std::string& text, DWORD timeoutMs) const;

    // True once the scan run has ended: "Scanning completed..." and the commands enabled again.
    bool WaitForScanEnd(DWORD timeoutMs) const;

    // The exit code, or STILL_ACTIVE when the program still runs after timeoutMs.
    DWORD WaitForExit(DWORD timeoutMs) const;

private:
    PROCESS_INFORMATION process_;
    HWND window_;
    DWORD windowProcessId_;
};
