// Saving the clipboard's text, for the helper programs.
#pragma once

// Writes the clipboard's CF_TEXT to the file at path, byte for byte. Exits code 0 on success, 1
// when the clipboard or its text cannot be had.
int WriteClipboardText(const char* path);
