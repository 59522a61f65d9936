#include "review/ProgramList.h"

#include <commctrl.h>
#include <limits.h>
#include <shellapi.h>
#include <string.h>

#include "app/SessionState.h"
#include "res/resource.h"
#include "support/FileProbe.h"

namespace {

const DWORD kExtendedStyles = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP;

// The image of each icon source already in the list's image list, so that rows of one process
// share one image and a rebuild adds nothing. It belongs to one image list at a time.
struct IconCache {
    HIMAGELIST images;
    LONG count;
    char sources[kMaxPrograms][kTextChars];
    int indices[kMaxPrograms];
};
IconCache gIcons;

// The image for the shell icon of an executable, added on first use; -1 when the shell has none.
int ImageForExecutable(HWND list, const char* executablePath)
{
    const HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    if (images != gIcons.images) {
        gIcons.images = images;
        gIcons.count = 0;
    }
    for (LONG i = 0; i < gIcons.count; i++)
        if (_stricmp(gIcons.sources[i], executablePath) == 0)
            return gIcons.indices[i];

    SHFILEINFOA info = {};
    if (SHGetFileInfoA(executablePath, 0, &info, sizeof(info),
                       SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON) == 0 ||
        info.hIcon == NULL)
        return -1;
    const int index = ImageList_ReplaceIcon(images, -1, info.hIcon);
    DestroyIcon(info.hIcon);
    if (index >= 0 && gIcons.count < kMaxPrograms) {
        BoundedCopy(gIcons.sources[gIcons.count], kTextChars, executablePath);
        gIcons.indices[gIcons.count] = index;
        gIcons.count++;
    }
    return index;
}

void InsertColumn(HWND list, int index, const char* header, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = (LPSTR)header;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&column);
}

void SetRowText(HWND list, int row, int column, const char* text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = (LPSTR)text;
    SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
}

// Empties the list and its images, then adds a row for each record that passes the mode.
ResultCode RebuildList(HWND window, bool unverifiedOnly)
{
    const HWND list = GetDlgItem(window, IDC_PROGRAM_LIST);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ImageList_RemoveAll((HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    gIcons.count = 0;

    ProgramTable& table = gSession.table;
    for (LONG i = 0; i < table.count; i++) {
        ProgramRecord& record = table.records[i];
        if (record.killed || (unverifiedOnly && record.verified))
            record.listRow = -1;
        else
            record.listRow = InsertProgramRow(window, record.modulePath, record.companyName, &record,
                                              unverifiedOnly ? 0 : record.verified);
    }
    return S_OK;
}

}

ResultCode InitProgramList(HWND list)
{
    SetWindowLongPtrA(list, GWL_STYLE, GetWindowLongPtrA(list, GWL_STYLE) | LVS_SHOWSELALWAYS);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kExtendedStyles);

    const HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), ILC_COLORDDB, 10, 30);
    ImageList_SetBkColor(images, GetSysColor(COLOR_WINDOW));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);

    RECT client = {};
    GetClientRect(list, &client);
    const int width = client.right - client.left;
    InsertColumn(list, 0, "Running Programs", (2 * width) / 4);
    InsertColumn(list, 1, "Owner", width / 4);
    InsertColumn(list, 2, "Status", width / 4);
    return S_OK;
}

int InsertProgramRow(HWND window, const char* modulePath, const char* companyName,
                     const ProgramRecord* record, BYTE verified)
{
    const HWND list = GetDlgItem(window, IDC_PROGRAM_LIST);
    if (list == NULL)
        return -1;

    LVFINDINFOA find = {};
    find.flags = LVFI_STRING;
    find.psz = modulePath;
    if (SendMessageA(list, LVM_FINDITEMA, (WPARAM)-1, (LPARAM)&find) != -1)
        return -1;

    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = INT_MAX;
    item.pszText = (LPSTR)modulePath;
    item.iImage = ImageForExecutable(list, record->processImagePath);
    const int row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    if (row < 0)
        return -1;

    const char* status = verified ? "Verified" : FileExists(modulePath) ? "Unverified" : "File Not Found";
    SetRowText(list, row, 1, companyName);
    SetRowText(list, row, 2, status);
    return row;
}

void RefreshProgramList(HWND window)
{
    if (SendDlgItemMessageA(window, IDC_FILTER, BM_GETCHECK, 0, 0) == BST_CHECKED)
        RefreshUnverifiedPrograms(window);
    else
        RefreshAllPrograms(window);
}

ResultCode RefreshUnverifiedPrograms(HWND window)
{
    return RebuildList(window, true);
}

ResultCode RefreshAllPrograms(HWND window)
{
    return RebuildList(window, false);
}
