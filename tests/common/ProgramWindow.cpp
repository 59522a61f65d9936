#include "ProgramWindow.h"

#include <commctrl.h>
#include <string.h>

namespace {

const size_t kTextRoom = 520;

// An LVITEMA and its text buffer, in the process that owns the list.
class ItemBuffer {
public:
    explicit ItemBuffer(HWND list) : process_(NULL), remote_(NULL)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(list, &processId);
        if (processId == GetCurrentProcessId())
            return;
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process_ != NULL)
            remote_ = (char*)VirtualAllocEx(process_, NULL, sizeof(LVITEMA) + kTextRoom,
                                            MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~ItemBuffer()
    {
        if (remote_ != NULL)
            VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
        if (process_ != NULL)
            CloseHandle(process_);
    }
    ItemBuffer(const ItemBuffer&) = delete;
    ItemBuffer& operator=(const ItemBuffer&) = delete;

    // Sends message with an item of the given mask, subItem and state, and answers the item as
    // the list left it, with its text.
    LVITEMA Query(HWND list, UINT message, int row, int subItem, UINT mask, std::string* text,
                  UINT state = 0)
    {
        char* base = process_ != NULL ? remote_ : local_;
        LVITEMA item = {};
        item.mask = mask;
        item.iItem = row;
        item.iSubItem = subItem;
        item.pszText = base + sizeof(LVITEMA);
        item.cchTextMax = (int)kTextRoom;
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = state;
        char buffer[sizeof(LVITEMA) + kTextRoom] = {0};
        memcpy(buffer, &item, sizeof(item));
        if (process_ != NULL)
            WriteProcessMemory(process_, remote_, buffer, sizeof(buffer), NULL);
        else
            memcpy(local_, buffer, sizeof(buffer));
        SendMessageA(list, message, (WPARAM)row, (LPARAM)base);
        if (process_ != NULL)
            ReadProcessMemory(process_, remote_, buffer, sizeof(buffer), NULL);
        else
            memcpy(buffer, local_, sizeof(buffer));
        memcpy(&item, buffer, sizeof(item));
        if (text != NULL)
            *text = std::string(buffer + sizeof(LVITEMA));
        return item;
    }

private:
    HANDLE process_;
    char* remote_;
    char local_[sizeof(LVITEMA) + kTextRoom];
};

}

std::vector<ListRow> ReadListRows(HWND list)
{
    std::vector<ListRow> rows;
    ItemBuffer buffer(list);
    const int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; row++) {
        ListRow entry;
        const LVITEMA item = buffer.Query(list, LVM_GETITEMA, row, 0, LVIF_IMAGE | LVIF_STATE, NULL);
        entry.image = item.iImage;
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
