#include <windows.h>
#include <commctrl.h>

#include "app/app.h"
#include "app/settings.h"
#include "res/resource.h"
#include "ui/tray.h"

HINSTANCE AppInstance;
HANDLE SingleInstanceMutex;

const wchar_t APP_NAME[] = L"StillSentinel";
const wchar_t MAIN_WINDOW_CLASS[] = L"StillSentinelClass";
static const wchar_t MUTEX_NAME[] = L"Local\\StillSentinel_Mutex";
static const wchar_t ALREADY_RUNNING_TEXT[] = L"このソフトはすでに起動しています。";

// Exit code when the hidden window cannot be created (there would be no
// window to end the message loop, so the program stops at once instead) or
// when the message loop itself fails.
static const int EXIT_ABNORMAL = 1;

static HWND CreateMainWindow(HINSTANCE instance)
{
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    wc.lpszClassName = MAIN_WINDOW_CLASS;
    RegisterClassW(&wc);
    return CreateWindowExW(0, MAIN_WINDOW_CLASS, APP_NAME, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                           CW_USEDEFAULT, 0, NULL, NULL, instance, NULL);
}

bool IsAnotherInstanceRunning(bool gotHandle, DWORD lastError)
{
    if (gotHandle) return lastError == ERROR_ALREADY_EXISTS;
    // No handle because the name exists and we may not open it: an instance
    // started elevated holds it (its default DACL shuts out the normal token).
    // Any other failure: run without the guard rather than not at all.
    return lastError == ERROR_ACCESS_DENIED;
}

static void ReleaseSingleInstance()
{
    if (SingleInstanceMutex) {
        CloseHandle(SingleInstanceMutex);
        SingleInstanceMutex = NULL;
    }
}

int RunStillSentinel(HINSTANCE instance)
{
    // Before anything loads a library: never from the exe's own folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    SingleInstanceMutex = CreateMutexW(NULL, FALSE, MUTEX_NAME);
    if (IsAnotherInstanceRunning(SingleInstanceMutex != NULL, GetLastError())) {
        ReleaseSingleInstance();
        MessageBoxW(NULL, ALREADY_RUNNING_TEXT, APP_NAME, MB_ICONWARNING | MB_OK);
        return 0;
    }

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    AppInstance = instance;

    BuildSettingsPath();
    LoadSettings();
    ClampSettings();
    SaveSettings();

    HWND window = CreateMainWindow(instance);
    if (!window) {
        ReleaseSingleInstance();
        return EXIT_ABNORMAL;
    }
    AddTrayIcon(window);

    MSG msg;
    BOOL got;
    int exitCode = EXIT_ABNORMAL;
    while ((got = GetMessageW(&msg, NULL, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (got == 0) exitCode = (int)(DWORD)msg.wParam;

    RemoveTrayIcon();
    ReleaseSingleInstance();
    return exitCode;
}
