// The process-wide state of one run: the program table and the two work folder paths. It lives
// from InitSession to process exit and is shared by the interface thread and the scan worker
// without a lock (the commands that read the table are disabled while the scan writes it).
#pragma once

#include "inventory/ProgramTable.h"

struct SessionState {
    ProgramTable table;
    char reportPath[kTextChars];
    char updateFolder[kTextChars];
    // When this process is the 64-bit copy that the 32-bit program handed its run to: the
    // 32-bit program's process id and the path of its file, the one the user started and the
    // one an update replaces. Id 0 and an empty path otherwise.
    DWORD launcherId;
    char launcherPath[kTextChars];
};

extern SessionState gSession;

extern const char kReportFileName[];

// Allocates the zero-filled table of kMaxPrograms records, creates the first work folder and the
// report path inside it, then the second work folder for updates. Answers the first failure;
// a path that was not reached stays empty.
ResultCode InitSession();
