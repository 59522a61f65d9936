#include "review/ProcessKill.h"

#include <commctrl.h>
#include <string.h>

#include "app/SessionState.h"
#include "inventory/ProcessScan.h"
#include "res/resource.h"
#include "review/ProgramList.h"
#include "support/DiagnosticLog.h"

namespace {

const DWORD kKillAccess = SYNCHRONIZE | PROCESS_SET_INFORMATION | PROCESS_TERMINATE;
const DWORD kCloseWaitMs = 10000;
const char kTitle[] = "Kestrovane Tool";

// Ids are reused, and the scan may be minutes old: true only when the id is known to run some
// other executable now. A process that cannot be read is left to KillProcess, which reports it.
bool RunsOtherExecutable(DWORD processId, const char* imagePath)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == NULL)
        return false;
    char current[kTextChars] = {0};
    const ResultCode result = ReadProcessImagePath(process, current, kTextChars);
    CloseHandle(process);
    return result >= 0 && _stricmp(current, imagePath) != 0;
}

bool IsTicked(HWND list, LONG row)
{
    const LRESULT state = SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) != 1;
}

// Asks, then ends the record's process; answers the status text to show, or false when the
// user declined.
bool KillRecordProcess(HWND window, const ProgramRecord& record, char* status)
{
    char question[512] = {0};
    BoundedFormat(question, 512,
                  "Do you want to kill following program?\r\n\r\nmodule name: %s\r\nprocess name: %s\r\n"
                  "owner name: %s\r\nprocess id: %d\r\n",
                  record.modulePath, record.processImagePath, record.companyName, (int)record.processId);
    if (MessageBoxA(window, question, kTitle, MB_TOPMOST | MB_YESNO) != IDYES)
        return false;

    BoundedFormat(status, kTextChars, "Killing process: %s", record.processImagePath);
    SetDlgItemTextA(window, IDC_STATUS, status);

    bool killed = false;
    if (RunsOtherExecutable(record.processId, record.processImagePath))
        WriteDiagnostic("Process %d no longer runs %s\n", (int)record.processId, record.processImagePath);
    else
        KillProcess(record.processId, &killed);

    if (killed) {
        BoundedFormat(status, kTextChars, "Killed process [%s] successfully", record.processImagePath);
        MarkProcessKilled(record.processId);
    } else {
        BoundedFormat(status, kTextChars, "Fail to kill process [%s]", record.processImagePath);
    }
    return true;
}

}

ResultCode KillSelectedPrograms(HWND window)
{
    const HWND list = GetDlgItem(window, IDC_PROGRAM_LIST);
    bool anyTicked = false;
    bool anyKilled = false;
    const ProgramTable& table = gSession.table;
    for (LONG i = 0; i < table.count; i++) {
        const ProgramRecord& record = table.records[i];
        if (record.listRow == -1 || !IsTicked(list, record.listRow))
            continue;
        anyTicked = true;
        // Its process ended earlier in this pass: the id may already belong to another process.
        if (record.killed)
            continue;
        char status[kTextChars] = {0};
        if (!KillRecordProcess(window, record, status))
            continue;
        anyKilled = anyKilled || record.killed;
        SetDlgItemTextA(window, IDC_STATUS, status);
    }

    if (anyKilled)
        RefreshProgramList(window);
    if (!anyTicked)
        MessageBoxA(window, "Please select a program to kill", kTitle, MB_ICONWARNING);
    return S_OK;
}

ResultCode KillProcess(DWORD processId, bool* killed)
{
    const HANDLE process = OpenProcess(kKillAccess, FALSE, processId);
    if (process == NULL) {
        const DWORD error = GetLastError();
        WriteDiagnostic("Cannot Open Process: %d, Error Code: %d", (int)processId, (int)error);
        SetLastError(error);
        return FailureFromLastError();
    }
    SetPriorityClass(process, IDLE_PRIORITY_CLASS);

    WindowCloseContext context = {processId, 0};
    EnumWindows(CloseFirstWindowOfProcess, (LPARAM)&context);

    ResultCode result = S_OK;
    if (context.closePosted && WaitForSingleObject(process, kCloseWaitMs) == WAIT_OBJECT_0) {
        *killed = true;
    } else if (TerminateProcess(process, 1)) {
        *killed = true;
    } else if (context.closePosted) {
        const DWORD error = GetLastError();
        WriteDiagnostic("Cannot Kill Process: %d, Error Code: %d\n", (int)processId, (int)error);
        SetLastError(error);
        result = FailureFromLastError();
    } else {
        result = FailureFromLastError();
        WriteDiagnostic("Cannot Kill Process: %d, hr= %x\n", (int)processId, (unsigned)result);
    }
    CloseHandle(process);
    return result;
}

BOOL CALLBACK CloseFirstWindowOfProcess(HWND window, LPARAM parameter)
{
    WindowCloseContext* context = (WindowCloseContext*)parameter;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != context->targetProcessId)
        return TRUE;
    PostMessageA(window, WM_CLOSE, 0, 0);
    context->closePosted = 1;
    return FALSE;
}
