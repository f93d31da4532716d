// Start-up, the hidden main window and its message dispatch.
#pragma once
#include <windows.h>

extern HINSTANCE AppInstance;
extern HANDLE SingleInstanceMutex;
extern HPOWERNOTIFY SuspendResumeNotify;  // null while not registered

extern const wchar_t APP_NAME[];           // caption of both message boxes, window title
extern const wchar_t MAIN_WINDOW_CLASS[];

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// (Re)starts TIMER_IDLE, and TIMER_LOG while logging is on, with the current periods.
void StartTimers(HWND window);
// Whether CreateMutexW of the single-instance name, with this result and last
// error, shows that another instance holds the name.
bool IsAnotherInstanceRunning(bool gotHandle, DWORD lastError);
int RunStillSentinel(HINSTANCE instance);
