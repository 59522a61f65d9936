// The report of every module that was not verified, and the View Log and Copy Log commands.
#pragma once

#include <windows.h>

#include "support/ResultCode.h"

// Writes the report afresh (text mode, so lines end in CR LF). Always 0; a file that cannot be
// created is left unwritten.
ResultCode WriteReport(const char* path);

// Writes the report and opens it with the shell's program for text files.
ResultCode ViewReport(HWND window);

// Writes the report and puts its whole text on the clipboard, lines ending in CR LF and one
// more CR LF at the end. E_FAIL when the clipboard cannot be had, no memory block can be
// allocated, or the report cannot be read back (the clipboard then holds an empty text).
ResultCode CopyReportToClipboard(HWND window);
