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
