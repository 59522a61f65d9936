#include "ModuleHosts.h"

std::string BuiltFile(const std::string& name)
{
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, path, MAX_PATH);
    const std::string self = path;
    return self.substr(0, self.find_last_of('\\') + 1) + name;
}

std::string FixturePath(const char* name)
{
    return BuiltFile(std::string("fixtures\\") + name);
}

std::string OtherHostPath()
{
    return BuiltFile("other\\ModuleHost.exe");
}

std::string OtherFixturePath(const char* name)
{
    return BuiltFile(std::string("other\\fixtures\\") + name);
}

ModuleHosts::~ModuleHosts()
{
    for (const PROCESS_INFORMATION& host : hosts_) {
        TerminateProcess(host.hProcess, 0);
        WaitForSingleObject(host.hProcess, 10000);
        CloseHandle(host.hThread);
        CloseHandle(host.hProcess);
    }
}

bool ModuleHosts::Start(const std::vector<std::string>& libraries, HostWindow window, const std::string& host)
{
    static LONG counter = 0;
    const std::string ready = "KestrovaneHostReady-" + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(InterlockedIncrement(&counter));
    const HANDLE event = CreateEventA(NULL, TRUE, FALSE, ready.c_str());
    std::string commandLine = "\"" + host + "\"";
    if (window != kNoWindow)
        commandLine += window == kClosableWindow ? " --window" : " --stubborn-window";
    commandLine += " --ready " + ready;
    for (const std::string& library : libraries)
        commandLine += " \"" + library + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    bool started = CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    if (started) {
        hosts_.push_back(process);
        const HANDLE waits[] = {event, process.hProcess};
        started = WaitForMultipleObjects(2, waits, FALSE, 120000) == WAIT_OBJECT_0;
    }
    CloseHandle(event);
    return started;
}

bool ModuleHosts::StartMany(const std::string& folder, int count)
{
    const std::string source = FixturePath("NoVersionLibrary.dll");
    const int perHost = (count + 3) / 4;
    for (int host = 0; host < 4; host++) {
        std::vector<std::string> libraries;
        for (int i = host * perHost; i < count && i < (host + 1) * perHost; i++) {
            const std::string copy = folder + "\\m" + std::to_string(i) + ".dll";
            if (!CopyFileA(source.c_str(), copy.c_str(), FALSE))
                return false;
            libraries.push_back(copy);
        }
        if (!Start(libraries, host == 0 ? kClosableWindow : kNoWindow))
            return false;
    }
    return true;
}

DWORD ModuleHosts::WaitForExit(size_t i, DWORD timeoutMs) const
{
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(hosts_[i].hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(hosts_[i].hProcess, &exitCode);
    return exitCode;
}
