// The stand-in update host: while a test program runs, the update host's name and 127.0.0.1
// lead to a server on loopback that serves the folder update-host beside the test programs.
#pragma once

#include <string>

class ServedFiles {
public:
    // Starts from an empty host, and leaves it empty again.
    ServedFiles();
    ~ServedFiles();
    ServedFiles(const ServedFiles&) = delete;
    ServedFiles& operator=(const ServedFiles&) = delete;

    // Serves bytes as object ("tool/version.txt"). how, when given, changes how the server sends
    // them: "chunked", "cut", "longer N", "length TEXT", "silent" or "status N".
    bool Put(const std::string& object, const std::string& bytes, const std::string& how = "");
    // Serves a copy of a file.
    bool PutCopy(const std::string& object, const std::string& file, const std::string& how = "");
};
