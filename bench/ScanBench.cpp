// Scan speed and window responsiveness: the real program scans while module hosts hold 1100
// distinct libraries. Prints the scan time per module, the worst round trip of a message sent
// to the dialog during the scan, and VerifyFile's time for the same files in this process.
//
//   scan_bench
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include "ModuleHosts.h"
#include "ProgramWindow.h"
#include "RunningProgram.h"
#include "TestFolder.h"
#include "trust/CatalogVerifier.h"

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

}

int main()
{
    ScratchFolder libraries;
    ModuleHosts hosts;
    if (!hosts.StartMany(libraries.Path(), 1100)) {
        fprintf(stderr, "the module hosts did not start\n");
        return 1;
    }

    ScratchFolder work;
    RunningProgram program(work.Path());
    if (program.WaitForWindow(30000) == NULL) {
        fprintf(stderr, "no window\n");
        return 1;
    }

    double scanStart = 0;
    double scanEnd = 0;
    double worstRoundTrip = 0;
    const double deadline = Now() + 600;
    while (Now() < deadline) {
        const std::string status = program.StatusText();
        const double now = Now();
        if (scanStart == 0 && status.compare(0, 9, "Checking ") != 0 && !status.empty())
            scanStart = now;
        if (status == "Scanning completed...") {
            scanEnd = now;
            break;
        }
        if (scanStart != 0) {
            DWORD_PTR answer = 0;
            const double sent = Now();
            SendMessageTimeoutA(program.Window(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
            const double roundTrip = Now() - sent;
            if (roundTrip > worstRoundTrip)
                worstRoundTrip = roundTrip;
        }
        Sleep(5);
    }
    if (scanEnd == 0) {
        fprintf(stderr, "the scan did not complete\n");
        return 1;
    }

    const std::vector<ListRow> rows = ReadListRows(program.Control(1001));
    const double scanSeconds = scanEnd - scanStart;
    printf("scan: %zu modules listed in %.2f s, %.2f ms per module\n", rows.size(), scanSeconds,
           1000.0 * scanSeconds / (double)rows.size());
    printf("worst round trip of a message to the dialog during the scan: %.1f ms\n",
           1000.0 * worstRoundTrip);

    const double verifyStart = Now();
    for (const ListRow& row : rows) {
        BYTE verified = 0;
        gCatalogVerifier.VerifyFile(row.module.c_str(), &verified);
    }
    const double verifySeconds = Now() - verifyStart;
    printf("VerifyFile over the same files: %.2f s, %.2f ms per file\n", verifySeconds,
           1000.0 * verifySeconds / (double)rows.size());
    printf("ratio: the scan takes %.2f times the verification of its files\n", scanSeconds / verifySeconds);
    return 0;
}
