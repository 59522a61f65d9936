// Handing the run over to the 64-bit build on 64-bit Windows. A 32-bit process cannot list the
// modules of a 64-bit one, and sees the system folder through the WOW64 file redirection, so
// there the 32-bit program writes the 64-bit build that it carries as a resource into a work
// folder of its own, starts it with the same rights and waits for it; the copy shows the window
// and scans, and the 32-bit program ends when it ends, with its exit code, and removes it.
#pragma once

#include "support/ResultCode.h"

// The entry calls this before anything else. S_OK: the run was handed over and has ended, and
// exitCode is the copy's exit code. S_FALSE: this process runs the program itself (32-bit
// Windows, a build that carries no 64-bit copy, or the copy itself, which then records its
// launcher in the session). A failure: the copy could not be written or started; the reason
// is in the diagnostic log, and this process runs the program itself.
ResultCode RunHandover(int* exitCode);
