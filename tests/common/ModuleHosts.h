// Processes that load libraries and wait, started for a test and ended with it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A file built beside the test programs, named relative to their folder.
std::string BuiltFile(const std::string& name);

// A fixture library.
std::string FixturePath(const char* name);

class ModuleHosts {
public:
    ModuleHosts() = default;
    ~ModuleHosts();
    ModuleHosts(const ModuleHosts&) = delete;
    ModuleHosts& operator=(const ModuleHosts&) = delete;

    // Starts a host that loads the libraries (with a top-level window when asked); true once it
    // has loaded them all.
    bool Start(const std::vector<std::string>& libraries, bool window);

    // Starts four hosts that load count copies of a fixture library between them, made in folder.
    bool StartMany(const std::string& folder, int count);

private:
    std::vector<PROCESS_INFORMATION> hosts_;
};
