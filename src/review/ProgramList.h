// The list of programs in the main window: one row for each shown record, with the shell icon of
// its process's executable, the module path, the company and the status.
#pragma once

#include <windows.h>

#include "inventory/ProgramTable.h"

// Sets up the list control: styles, the small-image list and the three columns.
ResultCode InitProgramList(HWND list);

// Appends a row for a record unless the module path is listed already (in any letter case).
// Answers the row's index, or -1 when no row was added.
int InsertProgramRow(HWND window, const char* modulePath, const char* companyName,
                     const ProgramRecord* record, BYTE verified);

// Rebuilds the list in the mode the filter box shows.
void RefreshProgramList(HWND window);

// Rebuilds the list with the records that are neither killed nor verified.
ResultCode RefreshUnverifiedPrograms(HWND window);

// Rebuilds the list with every record that is not killed.
ResultCode RefreshAllPrograms(HWND window);
