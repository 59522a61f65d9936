// Work folders: fresh, GUID-named folders under the user's temporary folder.
#pragma once

#include <stddef.h>

#include "support/ResultCode.h"

// Makes a new folder "<temporary folder>\{GUID}" and writes its full path into buffer (capacity
// characters). A missing temporary folder is created first. Answers 0 when the folder exists
// afterwards. The buffer is written only once the whole path is known to fit; a temporary
// folder path longer than 259 characters fails with STRSAFE_E_INSUFFICIENT_BUFFER and makes
// nothing.
ResultCode CreateWorkFolder(char* buffer, size_t capacity);
