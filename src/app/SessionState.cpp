#include "app/SessionState.h"

#include <stdlib.h>
#include <string.h>

#include "support/WorkFolder.h"

SessionState gSession;

const char kReportFileName[] = "Kestrovane.txt";

ResultCode InitSession()
{
    ProgramRecord* records = (ProgramRecord*)malloc(sizeof(ProgramRecord) * kMaxPrograms);
    if (records == NULL)
        return E_OUTOFMEMORY;
    memset(records, 0, sizeof(ProgramRecord) * kMaxPrograms);
    gSession.table.records = records;

    char folder[kTextChars] = {0};
    ResultCode result = CreateWorkFolder(folder, kTextChars);
    if (result < 0)
        return result;
    // A cut report path would name some other file: leave it empty and stop instead.
    result = BoundedFormat(gSession.reportPath, kTextChars, "%s\\%s", folder, kReportFileName);
    if (result < 0) {
        gSession.reportPath[0] = 0;
        return result;
    }

    return CreateWorkFolder(gSession.updateFolder, kTextChars);
}
