// Reading the program list of a window, in this process or in another one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ListRow {
    std::string module;
    std::string owner;
    std::string status;
    int image;
    bool ticked;
};

// Every row of the list control, read with list-view messages. For a list of another process
// the item structure and texts go through memory allocated in that process.
std::vector<ListRow> ReadListRows(HWND list);

// Ticks a row's check box, in this process or another one.
void TickRow(HWND list, int row);

// The rows whose module path ends with name (compared without regard to case).
std::vector<ListRow> RowsEndingWith(const std::vector<ListRow>& rows, const std::string& name);

// Presses the window's Copy Log button and answers the text it put on the clipboard.
std::string CopiedReport(HWND window);
