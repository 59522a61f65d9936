// The diagnostic log: "Trenovaskil.log" in the current directory, one line per call, for the
// failures of process operations.
#pragma once

#include "support/ResultCode.h"

// On (1) from the start and never changed while the program runs.
extern int gDebugFlag;

// Formats one line (at most 1023 characters, newline included; a missing "\n" is added) and
// appends it to the log. Answers 0 when the flag is off or the whole line fitted, and
// STRSAFE_E_INSUFFICIENT_BUFFER when the text was cut. A log that cannot be opened loses the
// line without changing the result.
ResultCode WriteDiagnostic(const char* format, ...);
