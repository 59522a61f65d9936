// The update check at start: the host's version file against the program's own version, and
// putting a newer executable in place of the running one.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "support/ResultCode.h"

// The update host's name, fixed when the program is built.
extern const char kUpdateHost[];

// Downloads "tool/version.txt" into the update folder and compares it with the file version of
// the program the user started (in the 64-bit copy of the 32-bit program, the 32-bit file).
// When the host's is newer and the user agrees (a question box over window), downloads
// "tool/Kestrovane.exe" and its signature "tool/Kestrovane.exe.sig", checks them (the announced
// version, for the started file's machine, signed with the release key), puts the program in
// place of the started file, starts it and ends this process. Answers S_OK when there is
// nothing to do or the user declined, and the failure when any step failed; the started file is
// then as it was.
ResultCode CheckForUpdate(HWND window);

// The two words of a file's fixed file version. E_INVALIDARG for a null argument; the failure
// of the version calls; E_FAIL when the file has no fixed file information.
ResultCode ReadFileVersion(const char* path, DWORD* versionMS, DWORD* versionLS);

// Deletes the file, or when that fails (a running executable), renames it to its ".sc_" name
// (a former ".sc_" file of that name is replaced) and marks that for deletion at the next
// restart. movedTo receives the new name when the file was renamed, else an empty text.
// A failed rename answers its failure and schedules nothing.
ResultCode ReplaceRunningFile(const char* path, char* movedTo, size_t movedToChars);

// Opens a file with the shell's "open" verb: S_OK when the shell accepted it, else E_FAIL.
ResultCode OpenWithShell(const char* path);

// "Majorversion" and "Minorversion" of section "General" of a version file; both 0 when the file
// cannot be opened or lacks them.
void ReadAnnouncedVersion(const char* path, DWORD* versionMS, DWORD* versionLS);

// True when the announced version is newer than the own one, comparing the most significant
// words first.
bool IsNewerVersion(DWORD announcedMS, DWORD announcedLS, DWORD ownMS, DWORD ownLS);

// The machine named in the header of a program or library file; E_FAIL when it is not one.
ResultCode ReadImageMachine(const char* path, WORD* machine);

// S_OK when the file is an executable (not a library) for the given machine, with exactly the
// given fixed file version; E_FAIL otherwise. The update takes only a program for the machine of
// the file it replaces: the 32-bit program stays a 32-bit program on every Windows.
ResultCode CheckNewProgram(const char* path, WORD machine, DWORD versionMS, DWORD versionLS);

// Puts the new program at ownPath: the running file is renamed out of the way, the new one
// copied in its place. If the copy fails, the old file is put back and the failure answered.
ResultCode InstallNewProgram(const char* newProgram, const char* ownPath);
