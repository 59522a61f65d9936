// A process that loads the libraries named on its command line and waits to be ended.
//
//   ModuleHost [--window | --stubborn-window] [--ready EVENT] LIBRARY...
//
// --window           also show a top-level window; WM_CLOSE ends the process with exit code 7
// --stubborn-window  also show a top-level window that ignores WM_CLOSE
// --ready            set the named event once every library is loaded
// Exits 3 when a library cannot be loaded.
#include <windows.h>

#include <string.h>

namespace {

const int kExitAfterClose = 7;
bool gIgnoreClose = false;

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE && gIgnoreClose)
        return 0;
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void ShowHostWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "KestrovaneModuleHost";
    RegisterClassA(&windowClass);
    CreateWindowA("KestrovaneModuleHost", "Module host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                  100, NULL, NULL, windowClass.hInstance, NULL);
}

}

int main(int argc, char** argv)
{
    bool window = false;
    const char* ready = NULL;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--window") == 0)
            window = true;
        else if (strcmp(argv[i], "--stubborn-window") == 0)
            window = gIgnoreClose = true;
        else if (strcmp(argv[i], "--ready") == 0 && i + 1 < argc)
            ready = argv[++i];
        else if (LoadLibraryA(argv[i]) == NULL)
            return 3;
    }
    if (window)
        ShowHostWindow();
    if (ready != NULL) {
        const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
        SetEvent(event);
        CloseHandle(event);
    }
    if (!window) {
        Sleep(INFINITE);
        return 0;
    }
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return kExitAfterClose;
}
