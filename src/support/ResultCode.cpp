#include "support/ResultCode.h"

ResultCode ResultFromLastError()
{
    const LONG error = (LONG)GetLastError();
    if (error > 0)
        return (ResultCode)(0x80070000UL | ((ULONG)error & 0xFFFFUL));
    return (ResultCode)error;
}

ResultCode FailureFromLastError()
{
    const ResultCode result = ResultFromLastError();
    return result < 0 ? result : E_FAIL;
}
