#include "support/DiagnosticLog.h"

#include <stdio.h>
#include <string.h>

#include "support/BoundedString.h"

int gDebugFlag = 1;

namespace {

const size_t kLineChars = 1024;
const char kLogName[] = "Trenovaskil.log";

}

ResultCode WriteDiagnostic(const char* format, ...)
{
    if (gDebugFlag == 0)
        return S_OK;

    char line[kLineChars] = {0};
    va_list args;
    va_start(args, format);
    ResultCode result = BoundedFormatV(line, kLineChars, format, args);
    va_end(args);

    const size_t length = strlen(line);
    if (length == 0 || line[length - 1] != '\n')
        result = BoundedAppend(line, kLineChars, "\n");

    // Text mode: the runtime stores each "\n" as carriage return and line feed. The line is
    // written as text, never used as a format again, so a "%" in it stays as it is.
    FILE* log = fopen(kLogName, "a+");
    if (log != NULL) {
        fputs(line, log);
        fclose(log);
    }
    return result;
}
