#include "UpdateHost.h"

#include <windows.h>

#include "ModuleHosts.h"
#include "TestFolder.h"

namespace {

std::string ServedPath(const std::string& object)
{
    std::string path = BuiltFile("update-host\\" + object);
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

// Makes the folders of an object's path on the host.
void MakeFolders(const std::string& path)
{
    for (size_t end = path.find('\\', BuiltFile("").size()); end != std::string::npos;
         end = path.find('\\', end + 1))
        CreateDirectoryA(path.substr(0, end).c_str(), NULL);
}

}

ServedFiles::ServedFiles()
{
    RemoveTree(ServedPath(""));
}

ServedFiles::~ServedFiles()
{
    RemoveTree(ServedPath(""));
}

bool ServedFiles::Put(const std::string& object, const std::string& bytes, const std::string& how)
{
    const std::string path = ServedPath(object);
    MakeFolders(path);
    DeleteFileA((path + ".how").c_str());
    return WriteFileBytes(path, bytes) && (how.empty() || WriteFileBytes(path + ".how", how));
}

bool ServedFiles::PutCopy(const std::string& object, const std::string& file, const std::string& how)
{
    const std::string bytes = ReadFileBytes(file);
    return bytes != "<missing>" && Put(object, bytes, how);
}
