// The least a pointer-watching tray program must do: a hidden window, a 1 s
// timer and one GetCursorPos per tick. The footprint benchmarks compare
// StillSentinel with it.
#include <windows.h>

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

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
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
