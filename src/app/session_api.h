// The session functions of wtsapi32, loaded on first use from the system
// folder only: an exe run from Downloads must not pick up a planted copy.
// Also the newer power notifications of user32.
#pragma once
#include <windows.h>
#include <wtsapi32.h>

struct SessionApi {
    BOOL(WINAPI* registerNotification)(HWND, DWORD);
    BOOL(WINAPI* unregisterNotification)(HWND);
    BOOL(WINAPI* querySessionInformation)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);
    void(WINAPI* freeMemory)(PVOID);
};

// Any member may be null when the library or the function is missing.
const SessionApi& GetSessionApi();

// Suspend and resume notifications for a window (Windows 8 and later; the
// only way a window hears of Modern Standby), looked up in user32 at run time
// so that the exe still starts where they are missing.
struct PowerNotifyApi {
    HPOWERNOTIFY(WINAPI* registerSuspendResume)(HANDLE, DWORD);
    BOOL(WINAPI* unregisterSuspendResume)(HPOWERNOTIFY);
};

// Both members are null unless user32 has both functions.
const PowerNotifyApi& GetPowerNotifyApi();
