// Bounded text routines: each writes into a caller-owned buffer of cch characters (terminator
// included), always leaves a terminated string when cch is valid, and answers
// STRSAFE_E_INSUFFICIENT_BUFFER when it had to cut. A cch of 0 or above kMaxCch, or a null
// pointer, is E_INVALIDARG and leaves the buffer untouched.
#pragma once

#include <stdarg.h>
#include <stddef.h>

#include "support/ResultCode.h"

// Size of every path, name and status text buffer, terminator included.
const size_t kTextChars = 260;

const size_t kMaxCch = 0x7FFFFFFF;

ResultCode BoundedCopy(char* dst, size_t cch, const char* src);
ResultCode BoundedWideCopy(wchar_t* dst, size_t cch, const wchar_t* src);

// Appends src to the terminated string in dst. A dst without a terminator within its first
// cch characters is E_INVALIDARG and is left as it is.
ResultCode BoundedAppend(char* dst, size_t cch, const char* src);

// printf-style formatting; a cut text keeps the first cch - 1 characters.
ResultCode BoundedFormat(char* dst, size_t cch, const char* format, ...);
ResultCode BoundedFormatV(char* dst, size_t cch, const char* format, va_list args);
