#include "TableWindow.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include "res/resource.h"
#include "review/ProgramList.h"

namespace {

INT_PTR CALLBACK ListOnlyDialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        InitProgramList(GetDlgItem(window, IDC_PROGRAM_LIST));
        SendDlgItemMessageA(window, IDC_FILTER, BM_SETCHECK, BST_CHECKED, 0);
        return TRUE;
    }
    return FALSE;
}

}

void TableWindowTest::SetUp()
{
    InitCommonControls();
    free(gSession.table.records);
    gSession.table.records = (ProgramRecord*)calloc(kMaxPrograms, sizeof(ProgramRecord));
    gSession.table.count = 0;
    window_ = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL,
                                 ListOnlyDialogProc, 0);
    ASSERT_NE(nullptr, window_);
    list_ = GetDlgItem(window_, IDC_PROGRAM_LIST);
}

void TableWindowTest::TearDown()
{
    if (window_ != NULL)
        DestroyWindow(window_);
    free(gSession.table.records);
    gSession.table.records = NULL;
    gSession.table.count = 0;
}

ProgramRecord& TableWindowTest::PutRecord(const std::string& module, const std::string& image,
                                          DWORD processId, BYTE verified, BYTE killed)
{
    ProgramRecord& record = gSession.table.records[gSession.table.count++];
    strcpy(record.modulePath, module.c_str());
    strcpy(record.processImagePath, image.c_str());
    strcpy(record.companyName, "Company");
    record.processId = processId;
    record.verified = verified;
    record.killed = killed;
    record.listRow = -1;
    return record;
}

int TableWindowTest::ImageCount() const
{
    return ImageList_GetImageCount((HIMAGELIST)SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
}

void TableWindowTest::SetFilter(bool unverifiedOnly) const
{
    SendDlgItemMessageA(window_, IDC_FILTER, BM_SETCHECK, unverifiedOnly ? BST_CHECKED : BST_UNCHECKED, 0);
}
