#include "review/ReportFile.h"

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/SessionState.h"

namespace {

const char kRule[] = "----------------------------------\n";

// The report's text as stored, with every line ending in CR LF and one more CR LF after the
// last line. The caller frees it; NULL when the report cannot be read.
char* ReadClipboardText(const char* path)
{
    FILE* file = fopen(path, "r");
    if (file == NULL)
        return NULL;
    size_t length = 0;
    size_t room = 4096;
    char* content = (char*)malloc(room);
    while (content != NULL) {
        length += fread(content + length, 1, room - length, file);
        if (length < room)
            break;
        room *= 2;
        char* grown = (char*)realloc(content, room);
        if (grown == NULL)
            free(content);
        content = grown;
    }
    const bool failed = content == NULL || ferror(file);
    fclose(file);
    if (failed) {
        free(content);
        return NULL;
    }

    size_t lineEnds = 0;
    for (size_t i = 0; i < length; i++)
        lineEnds += content[i] == '\n';
    char* text = (char*)malloc(length + lineEnds + 3);
    if (text != NULL) {
        size_t out = 0;
        for (size_t i = 0; i < length; i++) {
            if (content[i] == '\n')
                text[out++] = '\r';
            text[out++] = content[i];
        }
        memcpy(text + out, "\r\n", 3);
    }
    free(content);
    return text;
}

}

ResultCode WriteReport(const char* path)
{
    FILE* report = fopen(path, "w+");
    if (report == NULL)
        return S_OK;
    fputs("Kestrovane Tool - Malware Debugging Tool[1.0.0.1]\n\n", report);
    fputs("Running Programs[Not Verified]:\n", report);
    fputs(kRule, report);
    const ProgramTable& table = gSession.table;
    for (LONG i = 0; i < table.count; i++) {
        const ProgramRecord& record = table.records[i];
        if (record.verified)
            continue;
        const char* process = strrchr(record.processImagePath, '\\');
        if (process != NULL)
            fprintf(report, "%s[%s]|%s\n", record.modulePath, process + 1, record.companyName);
        else
            fprintf(report, "%s|%s\n", record.modulePath, record.companyName);
    }
    fputs(kRule, report);
    fclose(report);
    return S_OK;
}

ResultCode ViewReport(HWND window)
{
    if (gSession.reportPath[0] == 0)
        return E_FAIL;
    WriteReport(gSession.reportPath);
    ShellExecuteA(window, "open", gSession.reportPath, NULL, NULL, SW_SHOWNORMAL);
    return S_OK;
}

ResultCode CopyReportToClipboard(HWND window)
{
    const bool opened = OpenClipboard(window) != FALSE;
    if (opened)
        EmptyClipboard();
    const bool haveReport = gSession.reportPath[0] != 0;
    if (haveReport)
        WriteReport(gSession.reportPath);
    if (!opened)
        return E_FAIL;

    char* text = haveReport ? ReadClipboardText(gSession.reportPath) : NULL;
    ResultCode result = text != NULL ? S_OK : E_FAIL;
    const size_t size = text != NULL ? strlen(text) + 1 : 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    char* locked = block != NULL ? (char*)GlobalLock(block) : NULL;
    if (locked == NULL) {
        result = E_FAIL;
    } else {
        memcpy(locked, text != NULL ? text : "", size);
        GlobalUnlock(block);
        if (SetClipboardData(CF_TEXT, block) != NULL)
            block = NULL;
    }
    if (block != NULL)
        GlobalFree(block);
    CloseClipboard();
    free(text);
    return result;
}
