#include "support/BoundedString.h"

#include <stdio.h>

namespace {

template <typename Char>
ResultCode CopyCharacters(Char* dst, size_t cch, const Char* src)
{
    if (dst == NULL || src == NULL || cch == 0 || cch > kMaxCch)
        return E_INVALIDARG;

    size_t i = 0;
    for (; i < cch; i++) {
        dst[i] = src[i];
        if (src[i] == 0)
            return S_OK;
    }
    dst[cch - 1] = 0;
    return STRSAFE_E_INSUFFICIENT_BUFFER;
}

}

ResultCode BoundedCopy(char* dst, size_t cch, const char* src)
{
    return CopyCharacters(dst, cch, src);
}

ResultCode BoundedWideCopy(wchar_t* dst, size_t cch, const wchar_t* src)
{
    return CopyCharacters(dst, cch, src);
}

ResultCode BoundedAppend(char* dst, size_t cch, const char* src)
{
    if (dst == NULL || src == NULL || cch == 0 || cch > kMaxCch)
        return E_INVALIDARG;

    size_t length = 0;
    while (length < cch && dst[length] != 0)
        length++;
    if (length == cch)
        return E_INVALIDARG;
    return BoundedCopy(dst + length, cch - length, src);
}

ResultCode BoundedFormatV(char* dst, size_t cch, const char* format, va_list args)
{
    if (dst == NULL || format == NULL || cch == 0 || cch > kMaxCch)
        return E_INVALIDARG;

    // vsnprintf writes at most cch - 1 characters and a terminator, and answers the length
    // the whole text would have had.
    const int written = vsnprintf(dst, cch, format, args);
    if (written < 0 || (size_t)written > cch - 1) {
        dst[cch - 1] = 0;
        return STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    return S_OK;
}

ResultCode BoundedFormat(char* dst, size_t cch, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const ResultCode result = BoundedFormatV(dst, cch, format, args);
    va_end(args);
    return result;
}
