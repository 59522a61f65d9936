// The one file-system probe that the scan, the list and path normalisation share.
#pragma once

// True when a directory entry matches path. Being a directory search, an existing folder and a
// wildcard pattern that matches anything also answer true.
bool FileExists(const char* path);
