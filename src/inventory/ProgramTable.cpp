#include "inventory/ProgramTable.h"

#include <stdlib.h>
#include <string.h>

#include "app/SessionState.h"
#include "review/ProgramList.h"
#include "trust/CatalogVerifier.h"

ResultCode AddProgram(HWND window, const char* modulePath, const char* processImagePath,
                      DWORD processId)
{
    ProgramTable& table = gSession.table;
    if (FindProgramByModule(modulePath))
        return S_FALSE;
    if (table.records == NULL || table.count >= kMaxPrograms)
        return E_FAIL;

    ProgramRecord& record = table.records[table.count];
    gCatalogVerifier.VerifyFile(modulePath, &record.verified);
    BoundedCopy(record.modulePath, kTextChars, modulePath);
    BoundedCopy(record.processImagePath, kTextChars, processImagePath);
    record.processId = processId;

    char company[kTextChars] = {0};
    GetCompanyName(modulePath, company, kTextChars);
    BoundedCopy(record.companyName, kTextChars, company);

    record.listRow = record.verified ? -1 : InsertProgramRow(window, modulePath, company, &record, 0);
    // Only now does the record count for lookups.
    table.count++;
    return S_OK;
}

bool FindProgramByModule(const char* modulePath)
{
    const ProgramTable& table = gSession.table;
    for (LONG i = 0; i < table.count; i++)
        if (_stricmp(table.records[i].modulePath, modulePath) == 0)
            return true;
    return false;
}

void MarkProcessKilled(DWORD processId)
{
    ProgramTable& table = gSession.table;
    for (LONG i = 0; i < table.count; i++)
        if (table.records[i].processId == processId)
            table.records[i].killed = 1;
}

ResultCode GetCompanyName(const char* filePath, char* out, size_t cch)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(filePath, &handle);
    if (size == 0)
        return E_FAIL;
    void* block = malloc(size);
    if (block == NULL)
        return E_OUTOFMEMORY;

    ResultCode result = E_FAIL;
    WORD* translation = NULL;
    UINT length = 0;
    char query[kTextChars] = {0};
    char* value = NULL;
    if (!GetFileVersionInfoA(filePath, handle, size, block))
        goto Cleanup;
    // A translation value shorter than one language and code page pair names no company.
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", (void**)&translation, &length) ||
        length < 2 * sizeof(WORD))
        goto Cleanup;
    result = BoundedFormat(query, kTextChars, "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                           translation[1], "CompanyName");
    if (result < 0)
        goto Cleanup;
    if (!VerQueryValueA(block, query, (void**)&value, &length)) {
        result = E_FAIL;
        goto Cleanup;
    }
    result = cch > kMaxCch ? E_INVALIDARG : BoundedCopy(out, cch, value);

Cleanup:
    free(block);
    return result;
}
