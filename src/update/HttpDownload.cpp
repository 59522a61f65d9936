#include "update/HttpDownload.h"

#include <wininet.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.2; SV1; .NET CLR 1.1.4322)";
const DWORD kDefaultReadSize = 10240;
const DWORD kFallbackReadSize = 5120;
const DWORD kReadSlack = 65;
// A body announced as larger than this is read in default-sized pieces instead of one block.
const ULONGLONG kLargestSingleRead = 16 * 1024 * 1024;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Set on every handle: each kind of handle keeps its own copy of the time-outs.
void SetTimeouts(HINTERNET handle)
{
    static const DWORD kOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                     INTERNET_OPTION_RECEIVE_TIMEOUT};
    DWORD timeout = kNetworkTimeoutMs;
    for (DWORD option : kOptions)
        InternetSetOptionA(handle, option, &timeout, sizeof(timeout));
}

bool AnsweredOk(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    return HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          NULL) &&
           status == HTTP_STATUS_OK;
}

// Copies the body to the file; S_OK once the host has sent everything it announced.
ResultCode CopyBody(HINTERNET request, FILE* file)
{
    char lengthText[32] = {0};
    DWORD lengthSize = sizeof(lengthText);
    ULONGLONG announced = 0;
    const bool known = HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, NULL) &&
                       ParseContentLength(lengthText, &announced);

    DWORD readSize = kDefaultReadSize;
    if (known && announced > 0 && announced <= kLargestSingleRead)
        readSize = (DWORD)announced;
    char* buffer = (char*)malloc(readSize + kReadSlack);
    if (buffer == NULL) {
        readSize = kFallbackReadSize;
        buffer = (char*)malloc(readSize + kReadSlack);
    }
    if (buffer == NULL)
        return E_FAIL;

    ResultCode result = S_OK;
    ULONGLONG total = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, readSize, &read)) {
            result = E_FAIL;
            break;
        }
        if (read == 0)
            break;
        if (fwrite(buffer, 1, read, file) != read) {
            result = E_FAIL;
            break;
        }
        total += read;
    }
    if (result >= 0 && known && total < announced)
        result = E_FAIL;
    free(buffer);
    return result;
}

}

ResultCode DownloadFile(const char* host, const char* object, const char* localPath)
{
    ResultCode result = E_FAIL;
    HINTERNET connection = NULL;
    HINTERNET request = NULL;
    FILE* file = NULL;

    HINTERNET session = InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0);
    if (session == NULL)
        goto Cleanup;
    SetTimeouts(session);

    connection = InternetConnectA(session, host, 0, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    if (connection == NULL)
        goto Cleanup;
    SetTimeouts(connection);

    request = HttpOpenRequestA(connection, "GET", object, "HTTP/1.1", NULL, NULL,
                               INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (request != NULL)
        SetTimeouts(request);
    if (request == NULL || !HttpSendRequestA(request, NULL, 0, NULL, 0)) {
        printf("***Failed to download URL \n");
        fflush(stdout);
        goto Cleanup;
    }
    // An error page is not the object asked for.
    if (!AnsweredOk(request))
        goto Cleanup;

    file = fopen(localPath, "w+b");
    if (file == NULL)
        goto Cleanup;
    result = CopyBody(request, file);
    if (fclose(file) != 0)
        result = E_FAIL;

Cleanup:
    if (request != NULL)
        InternetCloseHandle(request);
    if (connection != NULL)
        InternetCloseHandle(connection);
    if (session != NULL)
        InternetCloseHandle(session);
    return result;
}

bool ParseContentLength(const char* text, ULONGLONG* length)
{
    *length = 0;
    const char* c = text;
    while (IsBlank(*c))
        c++;
    ULONGLONG value = 0;
    const char* digits = c;
    for (; *c >= '0' && *c <= '9'; c++) {
        const ULONGLONG digit = (ULONGLONG)(*c - '0');
        if (value > (ULLONG_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    if (c == digits)
        return false;
    while (IsBlank(*c))
        c++;
    if (*c != '\0')
        return false;
    *length = value;
    return true;
}
