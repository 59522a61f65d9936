// Scratch folders, environment overrides and file reading for the tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the temporary folder that the process had at start, removed with all
// its contents when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string Join(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Sets an environment variable of this process for the life of the object, then restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::string saved_;
    bool hadValue_;
};

// Makes this process's current directory the given folder for the life of the object.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::string& folder);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    char saved_[MAX_PATH];
};

// Names of the entries of a folder, without "." and "..".
std::vector<std::string> ListFolder(const std::string& folder);

// The bytes of a file as stored; "<missing>" when it cannot be opened.
std::string ReadFileBytes(const std::string& path);

// Makes or replaces a file with exactly these bytes; false when it cannot be written.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Writes a copy of a program whose PE header names the other machine (x86 for x64 and the
// other way round); false when it cannot be written.
bool WriteOtherMachineCopy(const std::string& program, const std::string& copy);

bool IsFolder(const std::string& path);

// Removes a folder with everything in it.
void RemoveTree(const std::string& path);

// True for a name of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper-case hexadecimal.
bool IsGuidName(const std::string& name);

// "0x8007007a" style text of a result code, for failure messages.
std::string Hex(long value);
