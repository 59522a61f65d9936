// Fetching one object from a web host over plain HTTP into a local file.
#pragma once

#include <windows.h>

#include "support/ResultCode.h"

// How long a connection attempt, and each wait for the host to send or take data, may last.
const DWORD kNetworkTimeoutMs = 10000;

// GET http://host/object (port 80) and store the body byte for byte in localPath. S_OK only for
// a 200 answer whose whole body arrived; E_FAIL otherwise. When the request cannot be sent,
// "***Failed to download URL \n" goes to standard output and no file is made; any other status
// than 200 makes no file either. A body cut short leaves the part that arrived.
ResultCode DownloadFile(const char* host, const char* object, const char* localPath);

// The value of a Content-Length header: decimal digits between optional blanks. False for
// anything else: a sign, other characters, no digits, a number beyond 64 bits.
bool ParseContentLength(const char* text, ULONGLONG* length);
