// The session functions of wtsapi32, loaded on first use from the system
// folder only: an exe run from Downloads must not pick up a planted copy.
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
