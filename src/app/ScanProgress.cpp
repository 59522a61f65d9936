#include "app/ScanProgress.h"

#include <atomic>
#include <commctrl.h>

#include "res/resource.h"

namespace {

std::atomic<bool> gStopRequested(false);

}

void StepProgress(HWND window)
{
    PostMessageA(GetDlgItem(window, IDC_PROGRESS), PBM_STEPIT, 0, 0);
}

void RequestScanStop()
{
    gStopRequested = true;
}

bool ScanStopRequested()
{
    return gStopRequested;
}
