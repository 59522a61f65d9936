// The inventory of the scan: one record for each distinct module file met, owned by the first
// process that the scan saw loading it.
#pragma once

#include "support/BoundedString.h"

const LONG kMaxPrograms = 1024;

struct ProgramRecord {
    char processImagePath[kTextChars];
    char modulePath[kTextChars];
    char companyName[kTextChars];
    DWORD processId;
    BYTE verified;
    LONG listRow;
    BYTE killed;
};

struct ProgramTable {
    ProgramRecord* records;
    LONG count;
};

// Records a module unless the table knows its path already: verifies it, reads its company and,
// when it is not verified, lists it in the window. Answers S_OK when recorded, S_FALSE when the
// path was known, and E_FAIL when the table is full or missing.
ResultCode AddProgram(HWND window, const char* modulePath, const char* processImagePath,
                      DWORD processId);

// True when a record has this module path (compared without regard to ASCII letter case).
bool FindProgramByModule(const char* modulePath);

// Marks every record of the process as killed.
void MarkProcessKilled(DWORD processId);

// The "CompanyName" of the file's version resource, under its first translation.
ResultCode GetCompanyName(const char* filePath, char* out, size_t cch);
