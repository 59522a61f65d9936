#include "ProgramWindow.h"

#include <commctrl.h>
#include <string.h>

namespace {

const size_t kTextRoom = 520;

// LVITEMA as a process with pointers of this size lays it out: a 32-bit test reads the list of
// the 64-bit copy that the 32-bit program hands over to.
template <typename Pointer>
struct ItemLayout {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    Pointer pszText;
    int cchTextMax;
    int iImage;
    Pointer lParam;
    int iIndent;
    int iGroupId;
    UINT cColumns;
    Pointer puColumns;
    Pointer piColFmt;
    int iGroup;
};

struct ItemAnswer {
    UINT state;
    int image;
};

bool IsWow64(HANDLE process)
{
    BOOL wow64 = FALSE;
    return IsWow64Process(process, &wow64) && wow64;
}

// An item structure and its text buffer, in the process that owns the list.
class ItemBuffer {
public:
    explicit ItemBuffer(HWND list) : process_(NULL), base_(local_), widePointers_(sizeof(void*) == 8)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(list, &processId);
        if (processId == GetCurrentProcessId())
            return;
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        if (process_ == NULL)
            return;
        const bool onWow64 = IsWow64(GetCurrentProcess());
        widePointers_ = sizeof(void*) == 8 ? !IsWow64(process_) : onWow64 && !IsWow64(process_);
        base_ = (char*)VirtualAllocEx(process_, NULL, sizeof(local_), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~ItemBuffer()
    {
        if (process_ != NULL && base_ != NULL)
            VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        if (process_ != NULL)
            CloseHandle(process_);
    }
    ItemBuffer(const ItemBuffer&) = delete;
    ItemBuffer& operator=(const ItemBuffer&) = delete;

    // Sends message with an item of the given mask, subItem and state, and answers the item's
    // state and image as the list left them, with its text.
    ItemAnswer Query(HWND list, UINT message, int row, int subItem, UINT mask, std::string* text,
                     UINT state = 0)
    {
        if (widePointers_)
            return QueryAs<UINT64>(list, message, row, subItem, mask, text, state);
        return QueryAs<UINT32>(list, message, row, subItem, mask, text, state);
    }

private:
    template <typename Pointer>
    ItemAnswer QueryAs(HWND list, UINT message, int row, int subItem, UINT mask, std::string* text,
                       UINT state)
    {
        ItemLayout<Pointer> item = {};
        item.mask = mask;
        item.iItem = row;
        item.iSubItem = subItem;
        item.pszText = (Pointer)(ULONG_PTR)(base_ + sizeof(item));
        item.cchTextMax = (int)kTextRoom;
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = state;
        char buffer[sizeof(local_)] = {0};
        memcpy(buffer, &item, sizeof(item));
        Transfer(buffer, true);
        SendMessageA(list, message, (WPARAM)row, (LPARAM)base_);
        Transfer(buffer, false);
        memcpy(&item, buffer, sizeof(item));
        if (text != NULL)
            *text = std::string(buffer + sizeof(item));
        return ItemAnswer{item.state, item.iImage};
    }

    void Transfer(char* buffer, bool toList)
    {
        if (process_ == NULL)
            memcpy(toList ? local_ : buffer, toList ? buffer : local_, sizeof(local_));
        else if (toList)
            WriteProcessMemory(process_, base_, buffer, sizeof(local_), NULL);
        else
            ReadProcessMemory(process_, base_, buffer, sizeof(local_), NULL);
    }

    HANDLE process_;
    char* base_;
    bool widePointers_;
    char local_[sizeof(ItemLayout<UINT64>) + kTextRoom];
};

}

std::vector<ListRow> ReadListRows(HWND list)
{
    std::vector<ListRow> rows;
    ItemBuffer buffer(list);
    const int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; row++) {
        ListRow entry;
        const ItemAnswer item = buffer.Query(list, LVM_GETITEMA, row, 0, LVIF_IMAGE | LVIF_STATE, NULL);
        entry.image = item.image;
        entry.ticked = ((item.state & LVIS_STATEIMAGEMASK) >> 12) == 2;
        buffer.Query(list, LVM_GETITEMTEXTA, row, 0, 0, &entry.module);
        buffer.Query(list, LVM_GETITEMTEXTA, row, 1, 0, &entry.owner);
        buffer.Query(list, LVM_GETITEMTEXTA, row, 2, 0, &entry.status);
        rows.push_back(entry);
    }
    return rows;
}

void TickRow(HWND list, int row)
{
    ItemBuffer buffer(list);
    buffer.Query(list, LVM_SETITEMSTATE, row, 0, LVIF_STATE, NULL, INDEXTOSTATEIMAGEMASK(2));
}

std::vector<ListRow> RowsEndingWith(const std::vector<ListRow>& rows, const std::string& name)
{
    std::vector<ListRow> found;
    for (const ListRow& row : rows)
        if (row.module.size() >= name.size() &&
            _stricmp(row.module.c_str() + row.module.size() - name.size(), name.c_str()) == 0)
            found.push_back(row);
    return found;
}

std::string CopiedReport(HWND window)
{
    if (!OpenClipboard(NULL))
        return "<clipboard busy>";
    EmptyClipboard();
    CloseClipboard();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), (LPARAM)GetDlgItem(window, 1000));
    std::string text;
    if (!OpenClipboard(NULL))
        return "<clipboard busy>";
    const HANDLE data = GetClipboardData(CF_TEXT);
    const char* locked = data != NULL ? (const char*)GlobalLock(data) : NULL;
    if (locked != NULL) {
        text = locked;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}
