#include "MessageBoxAnswerer.h"

#include "RunningProgram.h"

namespace {

// The message box's static text carries this id.
const int kMessageTextId = 0xFFFF;

// A message box, once its initialisation has set its title and text (it can be visible before).
// The program's own dialog has a static text of that id too, but none of the box's buttons.
bool IsReadyMessageBox(HWND dialog)
{
    const HWND text = GetDlgItem(dialog, kMessageTextId);
    const bool hasButton = GetDlgItem(dialog, IDOK) != NULL || GetDlgItem(dialog, IDYES) != NULL;
    return text != NULL && hasButton && !WindowText(dialog).empty() && !WindowText(text).empty();
}

}

MessageBoxAnswerer::MessageBoxAnswerer(DWORD processId, std::vector<int> answers)
    : processId_(processId), answers_(answers), stop_(false), thread_(&MessageBoxAnswerer::Watch, this)
{
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    Finish();
}

std::vector<SeenBox> MessageBoxAnswerer::Finish()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return seen_;
}

void MessageBoxAnswerer::Watch()
{
    for (int answer : answers_) {
        HWND box = NULL;
        while (!stop_ && (box = FindDialog(processId_, IsReadyMessageBox)) == NULL)
            Sleep(20);
        if (stop_)
            return;
        seen_.push_back({WindowText(box), WindowText(GetDlgItem(box, kMessageTextId))});
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                     (LPARAM)GetDlgItem(box, answer));
        while (!stop_ && IsWindow(box))
            Sleep(20);
    }
}
