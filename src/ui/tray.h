// The notification-area icon, its menu and the menu's commands.
#pragma once
#include <windows.h>
#include <shellapi.h>

extern NOTIFYICONDATAW TrayIcon;
extern UINT TaskbarCreatedMsg;
extern int DialogOpen;

enum TrayAction {
    TRAY_ACTION_NONE,
    TRAY_ACTION_EXIT,
    TRAY_ACTION_ABOUT,
    TRAY_ACTION_SETTINGS,
    TRAY_ACTION_OPENLOG,
};

// Only the right-button release opens the menu; the whole lParam is compared.
bool IsTrayMenuRequest(LPARAM lParam);
// What a command does, given whether a dialog is already open.
TrayAction ChooseTrayAction(WPARAM wParam, int dialogOpen);

BOOL AddTrayIcon(HWND window);
void RemoveTrayIcon();
LRESULT OnTrayCallback(HWND window, LPARAM lParam);
LRESULT OnTrayCommand(HWND window, WPARAM wParam);
