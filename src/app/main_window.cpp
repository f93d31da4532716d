#include <windows.h>

#include "app/app.h"
#include "app/idle_monitor.h"
#include "app/session_api.h"
#include "app/settings.h"
#include "log/log_events.h"
#include "log/log_file.h"
#include "res/resource.h"
#include "ui/tray.h"

HPOWERNOTIFY SuspendResumeNotify;

static bool LoggingOn() { return Settings.LogIntervalSec != 0; }

void StartTimers(HWND window)
{
    SetTimer(window, TIMER_IDLE, (UINT)Settings.TimerIntervalSec * 1000u, NULL);
    if (LoggingOn()) SetTimer(window, TIMER_LOG, (UINT)Settings.LogIntervalSec * 1000u, NULL);
}

static void OnCreate(HWND window)
{
    if (LoggingOn()) WriteLogLine(START_TEXT);
    TaskbarCreatedMsg = RegisterWindowMessageW(L"TaskbarCreated");
    // Started elevated, UIPI would drop the broadcast of a normal Explorer and
    // the icon would never come back after Explorer restarts.
    if (TaskbarCreatedMsg) ChangeWindowMessageFilterEx(window, TaskbarCreatedMsg, MSGFLT_ALLOW, NULL);
    CaptureCursorPos();
    StartTimers(window);
    const SessionApi& sessions = GetSessionApi();
    if (sessions.registerNotification) sessions.registerNotification(window, NOTIFY_FOR_THIS_SESSION);
    // In Modern Standby a window hears of suspend and resume only when it asked.
    const PowerNotifyApi& power = GetPowerNotifyApi();
    if (power.registerSuspendResume)
        SuspendResumeNotify = power.registerSuspendResume(window, DEVICE_NOTIFY_WINDOW_HANDLE);
}

static void OnDestroy(HWND window)
{
    KillTimer(window, TIMER_IDLE);
    KillTimer(window, TIMER_LOG);
    const SessionApi& sessions = GetSessionApi();
    if (sessions.unregisterNotification) sessions.unregisterNotification(window);
    if (SuspendResumeNotify) {
        GetPowerNotifyApi().unregisterSuspendResume(SuspendResumeNotify);
        SuspendResumeNotify = NULL;
    }
    if (LoggingOn()) WriteLogLine(EXIT_TEXT);
    PostQuitMessage(0);
}

static void OnPowerBroadcast(WPARAM code)
{
    // Remembered whether logged or not, so the memory follows the machine and
    // switching logging off and on again needs no reset.
    bool repeated = IsRepeatedPowerEvent(PowerEvents, code);
    PowerEvents = RememberPowerEvent(PowerEvents, code);
    if (LoggingOn() && !repeated) LogPowerEvent(code);
}

static void OnTimer(WPARAM id)
{
    if (id == TIMER_IDLE) CheckIdle();
    else if (id == TIMER_LOG) ReportSessionState();
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (TaskbarCreatedMsg != 0 && message == TaskbarCreatedMsg) AddTrayIcon(window);

    switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_ENDSESSION: if (LoggingOn()) LogSessionEnd(wParam, lParam); return 0;
    case WM_COMMAND: OnTrayCommand(window, wParam); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_POWERBROADCAST: OnPowerBroadcast(wParam); return 0;
    case WM_WTSSESSION_CHANGE: if (LoggingOn()) LogSessionChange(wParam); return 0;
    case WM_TRAYICON: OnTrayCallback(window, lParam); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
