#include "ui/tray.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/app.h"
#include "log/log_file.h"
#include "res/resource.h"
#include "ui/about_dialog.h"
#include "ui/settings_dialog.h"

NOTIFYICONDATAW TrayIcon;

// The full record of current Windows versions: older, shorter layouts would
// be taken for a different shell version.
static_assert(sizeof(void*) != 8 || sizeof(NOTIFYICONDATAW) == 976, "NOTIFYICONDATAW is 976 bytes on x64");
UINT TaskbarCreatedMsg;
int DialogOpen;

bool IsTrayMenuRequest(LPARAM lParam)
{
    return lParam == WM_RBUTTONUP;
}

TrayAction ChooseTrayAction(WPARAM wParam, int dialogOpen)
{
    switch (LOWORD(wParam)) {
    case IDM_EXIT: return TRAY_ACTION_EXIT;
    case IDM_OPENLOG: return TRAY_ACTION_OPENLOG;
    case IDM_ABOUT: return dialogOpen ? TRAY_ACTION_NONE : TRAY_ACTION_ABOUT;
    case IDM_SETTINGS: return dialogOpen ? TRAY_ACTION_NONE : TRAY_ACTION_SETTINGS;
    }
    return TRAY_ACTION_NONE;
}

BOOL AddTrayIcon(HWND window)
{
    TrayIcon.cbSize = sizeof(NOTIFYICONDATAW);
    TrayIcon.hWnd = window;
    TrayIcon.uID = 1;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = WM_TRAYICON;
    TrayIcon.hIcon = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_APP));
    lstrcpynW(TrayIcon.szTip, APP_NAME, ARRAYSIZE(TrayIcon.szTip));
    return Shell_NotifyIconW(NIM_ADD, &TrayIcon);
}

void RemoveTrayIcon()
{
    Shell_NotifyIconW(NIM_DELETE, &TrayIcon);
}

LRESULT OnTrayCallback(HWND window, LPARAM lParam)
{
    if (!IsTrayMenuRequest(lParam)) return 0;
    POINT at;
    GetCursorPos(&at);
    SetForegroundWindow(window);
    HMENU menu = LoadMenuW(AppInstance, MAKEINTRESOURCEW(IDR_TRAYMENU));
    if (!menu) return 0;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup) {
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, window, NULL);
        // The platform's documented remedy so that the menu closes when the
        // user clicks elsewhere.
        PostMessageW(window, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
    return 0;
}

static void RunDialog(HWND owner, int templateId, DLGPROC procedure)
{
    DialogOpen = 1;
    DialogBoxParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(templateId), owner, procedure, 0);
    DialogOpen = 0;
}

static void OpenLogFolder()
{
    if (!LogFolderPath[0] && !EnsureLogFolder()) return;
    ShellExecuteW(NULL, L"open", LogFolderPath, NULL, LogFolderPath, SW_SHOWNORMAL);
}

LRESULT OnTrayCommand(HWND window, WPARAM wParam)
{
    switch (ChooseTrayAction(wParam, DialogOpen)) {
    case TRAY_ACTION_EXIT:
        DestroyWindow(window);
        break;
    case TRAY_ACTION_ABOUT:
        RunDialog(window, IDD_ABOUT, AboutDlgProc);
        break;
    case TRAY_ACTION_SETTINGS: {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&icc);
        RunDialog(window, IDD_SETTINGS, SettingsDlgProc);
        break;
    }
    case TRAY_ACTION_OPENLOG:
        OpenLogFolder();
        break;
    case TRAY_ACTION_NONE:
        break;
    }
    return 0;
}
