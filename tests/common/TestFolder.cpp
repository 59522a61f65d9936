#include "TestFolder.h"

#include <stddef.h>
#include <stdio.h>

namespace {

std::string ProcessTempFolder()
{
    static std::string folder;
    if (folder.empty()) {
        char buffer[MAX_PATH + 1] = {0};
        GetTempPathA(MAX_PATH + 1, buffer);
        folder = buffer;
    }
    return folder;
}

}

ScratchFolder::ScratchFolder()
{
    static LONG counter = 0;
    const std::string base = ProcessTempFolder();
    char name[64];
    snprintf(name, sizeof(name), "kvtest-%lu-%ld", GetCurrentProcessId(),
             InterlockedIncrement(&counter));
    path_ = base + name;
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), NULL);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value)
    : name_(name), hadValue_(false)
{
    char buffer[32768];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
    if (length > 0 && length < sizeof(buffer)) {
        saved_ = buffer;
        hadValue_ = true;
    }
    SetEnvironmentVariableA(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment()
{
    SetEnvironmentVariableA(name_.c_str(), hadValue_ ? saved_.c_str() : NULL);
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& folder)
{
    GetCurrentDirectoryA(MAX_PATH, saved_);
    SetCurrentDirectoryA(folder.c_str());
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    SetCurrentDirectoryA(saved_);
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

std::string ReadFileBytes(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file == NULL)
        return "<missing>";
    std::string bytes;
    char buffer[4096];
    size_t read;
    while ((read = fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.append(buffer, read);
    fclose(file);
    return bytes;
}

void RemoveTree(const std::string& path)
{
    for (const std::string& name : ListFolder(path)) {
        const std::string child = path + "\\" + name;
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (IsFolder(child))
            RemoveTree(child);
        else
            DeleteFileA(child.c_str());
    }
    RemoveDirectoryA(path.c_str());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsGuidName(const std::string& name)
{
    static const char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (name.size() != sizeof(kShape) - 1)
        return false;
    for (size_t i = 0; i < name.size(); i++) {
        const char c = name[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        if (kShape[i] == 'X' ? !hex : c != kShape[i])
            return false;
    }
    return true;
}

std::string Hex(long value)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08lx", (unsigned long)value);
    return text;
}

bool WriteOtherMachineCopy(const std::string& program, const std::string& copy)
{
    std::string bytes = ReadFileBytes(program);
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER))
        return false;
    const LONG offset = *(const LONG*)&bytes[offsetof(IMAGE_DOS_HEADER, e_lfanew)];
    const size_t at = (size_t)offset + sizeof(DWORD) + offsetof(IMAGE_FILE_HEADER, Machine);
    if (offset <= 0 || at + sizeof(WORD) > bytes.size())
        return false;
    WORD* machine = (WORD*)&bytes[at];
    *machine = *machine == IMAGE_FILE_MACHINE_I386 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    return WriteFileBytes(copy, bytes);
}
