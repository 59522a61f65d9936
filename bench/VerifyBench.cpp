// Verification speed: VerifyFile over every file of a folder (the system directory unless one
// is named), against reading and SHA-1-hashing the same files, the least any check must do.
//
//   verify_bench [FOLDER]
#include <windows.h>
#include <bcrypt.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "trust/CatalogVerifier.h"

namespace {

std::vector<std::string> FilesOf(const std::string& folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files.push_back(folder + "\\" + entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return files;
}

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

// Reads a whole file and SHA-1-hashes it; false when it cannot be read.
bool HashFile(BCRYPT_ALG_HANDLE algorithm, const std::string& path, std::vector<BYTE>& buffer)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BCRYPT_HASH_HANDLE hash = NULL;
    bool ok = BCryptCreateHash(algorithm, &hash, NULL, 0, NULL, 0, 0) >= 0;
    DWORD read = 0;
    while (ok && ReadFile(file, buffer.data(), (DWORD)buffer.size(), &read, NULL) && read > 0)
        ok = BCryptHashData(hash, buffer.data(), read, 0) >= 0;
    BYTE digest[20];
    if (ok)
        ok = BCryptFinishHash(hash, digest, sizeof(digest), 0) >= 0;
    if (hash != NULL)
        BCryptDestroyHash(hash);
    CloseHandle(file);
    return ok;
}

}

int main(int argc, char** argv)
{
    char systemFolder[MAX_PATH] = {0};
    GetSystemDirectoryA(systemFolder, MAX_PATH);
    const std::string folder = argc > 1 ? argv[1] : systemFolder;
    const std::vector<std::string> files = FilesOf(folder);
    printf("folder: %s, %zu files\n", folder.c_str(), files.size());
    printf("binding: catalog status 0x%08lx, SHA-256 context %s\n",
           (unsigned long)gCatalogVerifier.catalogStatus,
           gCatalogVerifier.catalogAdminSha256 != NULL ? "held" : "not available");
    if (files.empty())
        return 1;

    BCRYPT_ALG_HANDLE algorithm = NULL;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA1_ALGORITHM, NULL, 0) < 0)
        return 1;
    std::vector<BYTE> buffer(1 << 16);
    // One untimed pass first, so that both timed passes find the files in the cache.
    for (const std::string& path : files)
        HashFile(algorithm, path, buffer);

    LARGE_INTEGER start, end;
    size_t verified = 0;
    QueryPerformanceCounter(&start);
    for (const std::string& path : files) {
        BYTE flag = 0;
        gCatalogVerifier.VerifyFile(path.c_str(), &flag);
        verified += flag;
    }
    QueryPerformanceCounter(&end);
    const double verifySeconds = Seconds(start, end);

    size_t hashed = 0;
    QueryPerformanceCounter(&start);
    for (const std::string& path : files)
        hashed += HashFile(algorithm, path, buffer) ? 1 : 0;
    QueryPerformanceCounter(&end);
    const double hashSeconds = Seconds(start, end);
    BCryptCloseAlgorithmProvider(algorithm, 0);

    const double verifyRate = (double)files.size() / verifySeconds;
    const double hashRate = (double)files.size() / hashSeconds;
    printf("VerifyFile:        %8.1f files/s (%.3f s, %zu verified)\n", verifyRate, verifySeconds, verified);
    printf("read + SHA-1 only: %8.1f files/s (%.3f s, %zu read)\n", hashRate, hashSeconds, hashed);
    printf("ratio: VerifyFile takes %.2f times the lower bound\n", verifySeconds / hashSeconds);
    return 0;
}
