// Result codes: every routine of the program reports success (>= 0) or failure (< 0) in the
// layout of a Windows HRESULT, so the system's own codes pass through unchanged.
#pragma once

#include <windows.h>

typedef HRESULT ResultCode;

// A bounded text routine had to cut its output (HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)).
#ifndef STRSAFE_E_INSUFFICIENT_BUFFER
#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007AL)
#endif

// The calling thread's last error as a result code: 0x8007xxxx for an error number above 0,
// and the number itself otherwise (so a last error of 0 reads as success). Call it on the
// thread whose platform call failed, before any other platform call.
ResultCode ResultFromLastError();

// The same, for a call that is known to have failed: E_FAIL when the last error is 0, so the
// failure is never read as success.
ResultCode FailureFromLastError();
