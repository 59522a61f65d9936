// Processes that load libraries and wait, started for a test and ended with it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A file built beside the test programs, named relative to their folder.
std::string BuiltFile(const std::string& name);

// A fixture library.
std::string FixturePath(const char* name);

// The module host and the fixture libraries of the other word size (32-bit ones for 64-bit
// tests and the other way round), built by the companion build.
std::string OtherHostPath();
std::string OtherFixturePath(const char* name);

enum HostWindow { kNoWindow, kClosableWindow, kStubbornWindow };

class ModuleHosts {
public:
    ModuleHosts() = default;
    ~ModuleHosts();
    ModuleHosts(const ModuleHosts&) = delete;
    ModuleHosts& operator=(const ModuleHosts&) = delete;

    // Starts a host (ModuleHost.exe beside the tests unless named) that loads the libraries,
    // with the top-level window asked for; true once it has loaded them all. A closable window
    // ends the host with exit code 7.
    bool Start(const std::vector<std::string>& libraries, HostWindow window,
               const std::string& host = BuiltFile("ModuleHost.exe"));

    size_t Count() const { return hosts_.size(); }
    DWORD ProcessId(size_t i) const { return hosts_[i].dwProcessId; }
    // The host's exit code, or STILL_ACTIVE while it runs after timeoutMs.
    DWORD WaitForExit(size_t i, DWORD timeoutMs) const;

    // Starts four hosts that load count copies of a fixture library between them, made in folder.
    bool StartMany(const std::string& folder, int count);

private:
    std::vector<PROCESS_INFORMATION> hosts_;
};
