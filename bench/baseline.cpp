// The least a pointer-watching tray program must do: a hidden window, a 1 s
// timer and one GetCursorPos per tick. The footprint benchmarks compare
// StillSentinel with it. Started with "commoncontrols" it also initialises the
// common controls as StillSentinel's start-up must, which shows what that
// alone costs.
#include <windows.h>
#include <commctrl.h>
#include <wchar.h>

static LRESULT CALLBACK BaselineWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        SetTimer(window, 1, 1000, NULL);
        return 0;
    case WM_TIMER: {
        POINT p;
        GetCursorPos(&p);
        return 0;
    }
    case WM_DESTROY:
        KillTimer(window, 1);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static void InitCommonControlsLikeStillSentinel()
{
    // Loaded only on request: a static import would load comctl32 in both modes.
    typedef BOOL(WINAPI * InitFunction)(const INITCOMMONCONTROLSEX*);
    HMODULE comctl = LoadLibraryExW(L"comctl32.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!comctl) return;
    InitFunction init = (InitFunction)(void*)GetProcAddress(comctl, "InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    if (init) init(&icc);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    if (commandLine && !wcscmp(commandLine, L"commoncontrols")) InitCommonControlsLikeStillSentinel();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BaselineWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"BaselineClass";
    RegisterClassW(&wc);
    CreateWindowExW(0, L"BaselineClass", L"Baseline", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                    NULL, NULL, instance, NULL);
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
