#include "update/UpdateCheck.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/SessionState.h"
#include "review/ProcessKill.h"
#include "support/BoundedString.h"
#include "support/DiagnosticLog.h"
#include "update/HttpDownload.h"
#include "update/SignatureCheck.h"

#ifndef KESTROVANE_UPDATE_HOST
#error KESTROVANE_UPDATE_HOST names the update host; the build sets it.
#endif

const char kUpdateHost[] = KESTROVANE_UPDATE_HOST;

namespace {

const char kVersionFile[] = "version.txt";
const char kProgramFile[] = "Kestrovane.exe";
const char kSignatureFile[] = "Kestrovane.exe.sig";
const char kReplacedExtension[] = ".sc_";
// The name of a file moved aside has room for this many characters more than its path.
const size_t kReplacedExtensionRoom = sizeof(kReplacedExtension);

// The object on the host and its local copy in the update folder.
ResultCode UpdateObjectPaths(const char* name, char* object, char* localPath)
{
    if (gSession.updateFolder[0] == '\0')
        return E_FAIL;
    ResultCode result = BoundedFormat(object, kTextChars, "tool/%s", name);
    if (result >= 0)
        result = BoundedFormat(localPath, kTextChars, "%s\\%s", gSession.updateFolder, name);
    return result;
}

// The program file that the user started and that an update replaces: this process's own, or,
// in the 64-bit copy that the 32-bit program handed its run to, the 32-bit program's.
ResultCode ReadProgramPath(char* path)
{
    if (gSession.launcherId != 0)
        return gSession.launcherPath[0] != '\0' ? BoundedCopy(path, kTextChars, gSession.launcherPath)
                                                 : E_FAIL;
    const DWORD length = GetModuleFileNameA(NULL, path, kTextChars);
    if (length == 0)
        return FailureFromLastError();
    // A cut path would name another file.
    if (length >= kTextChars)
        return STRSAFE_E_INSUFFICIENT_BUFFER;
    return S_OK;
}

bool ReadAt(HANDLE file, LONG offset, void* buffer, DWORD size)
{
    DWORD read = 0;
    return SetFilePointer(file, offset, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ReadFile(file, buffer, size, &read, NULL) && read == size;
}

// The file header of a PE image; false when the file is not one.
bool ReadImageFileHeader(const char* path, IMAGE_FILE_HEADER* header)
{
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    IMAGE_DOS_HEADER dos = {};
    DWORD signature = 0;
    const bool read = ReadAt(file, 0, &dos, sizeof(dos)) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
                      dos.e_lfanew > 0 && ReadAt(file, dos.e_lfanew, &signature, sizeof(signature)) &&
                      ReadAt(file, dos.e_lfanew + (LONG)sizeof(signature), header, sizeof(*header));
    CloseHandle(file);
    return read && signature == IMAGE_NT_SIGNATURE;
}

// Downloads the program's detached signature beside it and checks it with the release key. A
// host that has none answers 404: no file, and the check refuses the program.
ResultCode CheckReleaseSignature(const char* program)
{
    char object[kTextChars] = {0};
    char signature[kTextChars] = {0};
    const char* reason = "the signature cannot be fetched";
    ResultCode result = UpdateObjectPaths(kSignatureFile, object, signature);
    if (result >= 0) {
        DownloadFile(kUpdateHost, object, signature);
        result = VerifyFileSignature(program, signature, kReleasePublicKey, kReleasePublicKeySize, &reason);
    }
    if (result < 0)
        WriteDiagnostic("Update not installed: %s is not signed with the release key (%s)\n", program, reason);
    return result;
}

}

ResultCode CheckForUpdate(HWND window)
{
    char object[kTextChars] = {0};
    char localPath[kTextChars] = {0};
    char ownPath[kTextChars] = {0};
    DWORD announcedMS = 0;
    DWORD announcedLS = 0;
    DWORD ownMS = 0;
    DWORD ownLS = 0;
    WORD ownMachine = 0;
    bool killed = false;

    ResultCode result = UpdateObjectPaths(kVersionFile, object, localPath);
    if (result >= 0)
        result = DownloadFile(kUpdateHost, object, localPath);
    if (result < 0)
        return result;
    ReadAnnouncedVersion(localPath, &announcedMS, &announcedLS);

    result = ReadProgramPath(ownPath);
    if (result >= 0)
        result = ReadFileVersion(ownPath, &ownMS, &ownLS);
    if (result >= 0)
        result = ReadImageMachine(ownPath, &ownMachine);
    if (result < 0 || !IsNewerVersion(announcedMS, announcedLS, ownMS, ownLS))
        return result;

    if (MessageBoxA(window, "Updated version of Kestrovane tool available\r\nDo you want to get it now?",
                    "Kestrovane Tool Update", MB_TOPMOST | MB_ICONWARNING | MB_YESNO) != IDYES)
        return S_OK;

    result = UpdateObjectPaths(kProgramFile, object, localPath);
    if (result >= 0)
        result = DownloadFile(kUpdateHost, object, localPath);
    if (result >= 0) {
        result = CheckNewProgram(localPath, ownMachine, announcedMS, announcedLS);
        if (result < 0)
            WriteDiagnostic("Update not installed: %s is not version %u.%u.%u.%u for this machine\n",
                            localPath, (unsigned)HIWORD(announcedMS), (unsigned)LOWORD(announcedMS),
                            (unsigned)HIWORD(announcedLS), (unsigned)LOWORD(announcedLS));
    }
    if (result >= 0)
        result = CheckReleaseSignature(localPath);
    if (result >= 0)
        result = InstallNewProgram(localPath, ownPath);
    // The old process ends only once the new one has been started.
    if (result >= 0)
        result = OpenWithShell(ownPath);
    if (result >= 0)
        KillProcess(GetCurrentProcessId(), &killed);
    return result;
}

ResultCode ReadFileVersion(const char* path, DWORD* versionMS, DWORD* versionLS)
{
    if (path == NULL || versionMS == NULL || versionLS == NULL)
        return E_INVALIDARG;

    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return FailureFromLastError();
    void* block = GlobalAlloc(GPTR, size);
    if (block == NULL)
        return FailureFromLastError();

    ResultCode result = E_FAIL;
    VS_FIXEDFILEINFO* info = NULL;
    UINT length = 0;
    if (!GetFileVersionInfoA(path, 0, size, block))
        result = FailureFromLastError();
    else if (VerQueryValueA(block, "\\", (void**)&info, &length) && length >= sizeof(*info) &&
             info->dwSignature == VS_FFI_SIGNATURE) {
        *versionMS = info->dwFileVersionMS;
        *versionLS = info->dwFileVersionLS;
        result = S_OK;
    }
    GlobalFree(block);
    return result;
}

ResultCode ReplaceRunningFile(const char* path, char* movedTo, size_t movedToChars)
{
    if (path == NULL || movedTo == NULL || movedToChars == 0)
        return E_INVALIDARG;
    movedTo[0] = '\0';

    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path))
        return S_OK;

    const size_t newNameChars = strlen(path) + kReplacedExtensionRoom;
    char* newName = (char*)calloc(newNameChars, 1);
    if (newName == NULL)
        return E_OUTOFMEMORY;
    ResultCode result = BoundedCopy(newName, newNameChars, path);
    char* extension = PathFindExtensionA(newName);
    if (result >= 0)
        result = BoundedCopy(extension, kReplacedExtensionRoom, kReplacedExtension);
    if (result >= 0)
        result = BoundedCopy(movedTo, movedToChars, newName);
    // A failed rename leaves the file where it is: nothing may be scheduled for deletion then.
    if (result >= 0 && !MoveFileExA(path, newName, MOVEFILE_REPLACE_EXISTING))
        result = FailureFromLastError();
    if (result >= 0)
        MoveFileExA(newName, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    else
        movedTo[0] = '\0';
    free(newName);
    return result;
}

ResultCode OpenWithShell(const char* path)
{
    const HINSTANCE started = ShellExecuteA(NULL, "open", path, NULL, NULL, SW_SHOWNORMAL);
    return (INT_PTR)started > 32 ? S_OK : E_FAIL;
}

void ReadAnnouncedVersion(const char* path, DWORD* versionMS, DWORD* versionLS)
{
    *versionMS = 0;
    *versionLS = 0;
    FILE* file = fopen(path, "r");
    if (file == NULL)
        return;
    fclose(file);
    *versionMS = GetPrivateProfileIntA("General", "Majorversion", 0, path);
    *versionLS = GetPrivateProfileIntA("General", "Minorversion", 0, path);
}

bool IsNewerVersion(DWORD announcedMS, DWORD announcedLS, DWORD ownMS, DWORD ownLS)
{
    return announcedMS > ownMS || (announcedMS == ownMS && announcedLS > ownLS);
}

ResultCode ReadImageMachine(const char* path, WORD* machine)
{
    *machine = 0;
    IMAGE_FILE_HEADER header = {};
    if (!ReadImageFileHeader(path, &header))
        return E_FAIL;
    *machine = header.Machine;
    return S_OK;
}

ResultCode CheckNewProgram(const char* path, WORD machine, DWORD versionMS, DWORD versionLS)
{
    IMAGE_FILE_HEADER header = {};
    DWORD fileMS = 0;
    DWORD fileLS = 0;
    if (!ReadImageFileHeader(path, &header) || header.Machine != machine ||
        (header.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) == 0 ||
        (header.Characteristics & IMAGE_FILE_DLL) != 0 || ReadFileVersion(path, &fileMS, &fileLS) < 0 ||
        fileMS != versionMS || fileLS != versionLS)
        return E_FAIL;
    return S_OK;
}

ResultCode InstallNewProgram(const char* newProgram, const char* ownPath)
{
    char movedTo[kTextChars + kReplacedExtensionRoom] = {0};
    ResultCode result = ReplaceRunningFile(ownPath, movedTo, sizeof(movedTo));
    if (result >= 0 && !CopyFileA(newProgram, ownPath, FALSE)) {
        result = FailureFromLastError();
        // The program's own path must not be left empty.
        if (movedTo[0] != '\0')
            MoveFileA(movedTo, ownPath);
    }
    return result;
}
