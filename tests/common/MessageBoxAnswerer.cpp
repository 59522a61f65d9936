#include "MessageBoxAnswerer.h"

#include "RunningProgram.h"

namespace {

// The message box's static text carries this id.
const int kMessageTextId = 0xFFFF;

struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter)
{
    BoxSearch* search = (BoxSearch*)parameter;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // A box can be visible before its initialisation has set its title and text.
    if (processId != search->processId || !IsWindowVisible(window) || ClassName(window) != "#32770" ||
        GetDlgItem(window, kMessageTextId) == NULL || WindowText(window).empty() ||
        WindowText(GetDlgItem(window, kMessageTextId)).empty())
        return TRUE;
    search->found = window;
    return FALSE;
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
        BoxSearch search = {processId_, NULL};
        while (!stop_ && search.found == NULL) {
            EnumWindows(FindBox, (LPARAM)&search);
            if (search.found == NULL)
                Sleep(20);
        }
        if (stop_)
            return;
        seen_.push_back({WindowText(search.found), WindowText(GetDlgItem(search.found, kMessageTextId))});
        PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                     (LPARAM)GetDlgItem(search.found, answer));
        while (!stop_ && IsWindow(search.found))
            Sleep(20);
    }
}
