#include "ui/settings_dialog.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <wchar.h>

#include "app/app.h"
#include "app/idle_monitor.h"
#include "app/settings.h"
#include "res/resource.h"
#include "ui/startup_shortcut.h"

struct SettingsControls {
    int editId;
    int spinId;
};

// In the order of SETTING_ROWS, which gives each pair its setting and range.
static const SettingsControls CONTROLS[SETTING_COUNT] = {
    {IDC_TIMER_INTERVAL, IDC_TIMER_INTERVAL_SPIN},
    {IDC_IDLE_LIMIT, IDC_IDLE_LIMIT_SPIN},
    {IDC_MOVE_THRESHOLD, IDC_MOVE_THRESHOLD_SPIN},
    {IDC_LOG_INTERVAL, IDC_LOG_INTERVAL_SPIN},
};

static bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
static bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool ParseFieldNumber(const wchar_t* text, const wchar_t* groupSeparator, uint32_t* value)
{
    size_t separatorLength = groupSeparator ? wcslen(groupSeparator) : 0;
    while (IsBlank(*text)) ++text;
    uint64_t number = 0;
    bool anyDigit = false;
    while (*text) {
        if (IsDigit(*text)) {
            number = number * 10 + (uint64_t)(*text - L'0');
            if (number > 0xFFFFFFFFull) return false;
            anyDigit = true;
            ++text;
        } else if (separatorLength && anyDigit && wcsncmp(text, groupSeparator, separatorLength) == 0 &&
                   IsDigit(text[separatorLength])) {
            text += separatorLength;
        } else {
            break;
        }
    }
    while (IsBlank(*text)) ++text;
    if (!anyDigit || *text) return false;
    *value = (uint32_t)number;
    return true;
}

// The up-down controls write values of 1000 and more grouped ("1,500"),
// which the platform's own integer reading takes as 1. Read what is shown.
static bool ReadField(HWND dialog, int editId, uint32_t* value)
{
    wchar_t text[64];
    wchar_t separator[8];
    HWND edit = GetDlgItem(dialog, editId);
    if (!edit || GetWindowTextLengthW(edit) >= (int)ARRAYSIZE(text)) return false;
    GetWindowTextW(edit, text, ARRAYSIZE(text));
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, ARRAYSIZE(separator)))
        separator[0] = L'\0';
    return ParseFieldNumber(text, separator, value);
}

static void InitSettingsDialog(HWND dialog)
{
    SendMessageW(dialog, WM_SETICON, ICON_BIG, (LPARAM)LoadIconW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDI_APP)));
    for (int i = 0; i < SETTING_COUNT; ++i)
        SendDlgItemMessageW(dialog, CONTROLS[i].spinId, UDM_SETRANGE, 0,
                            MAKELPARAM(SETTING_ROWS[i].high, SETTING_ROWS[i].low));
    for (int i = 0; i < SETTING_COUNT; ++i)
        SetDlgItemInt(dialog, CONTROLS[i].editId, (UINT)(Settings.*SETTING_ROWS[i].field), FALSE);
    wchar_t shortcut[PATH_CHARS];
    bool present = GetStartupShortcutPath(shortcut, ARRAYSIZE(shortcut)) && PathFileExistsW(shortcut);
    CheckDlgButton(dialog, IDC_STARTUP, present ? BST_CHECKED : BST_UNCHECKED);
}

static void ApplyStartupChoice(HWND dialog)
{
    wchar_t shortcut[PATH_CHARS];
    if (!GetStartupShortcutPath(shortcut, ARRAYSIZE(shortcut))) return;
    if (IsDlgButtonChecked(dialog, IDC_STARTUP) == BST_CHECKED) {
        if (!PathFileExistsW(shortcut)) CreateStartupShortcut(L"");
    } else {
        DeleteFileW(shortcut);
    }
}

static void AcceptSettings(HWND dialog)
{
    HWND owner = GetWindow(dialog, GW_OWNER);
    KillTimer(owner, TIMER_IDLE);
    KillTimer(owner, TIMER_LOG);
    for (int i = 0; i < SETTING_COUNT; ++i) {
        uint32_t value;
        if (ReadField(dialog, CONTROLS[i].editId, &value)) Settings.*SETTING_ROWS[i].field = (int32_t)value;
    }
    ApplyStartupChoice(dialog);
    SaveSettings();
    CaptureCursorPos();
    StartTimers(owner);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitSettingsDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            AcceptSettings(dialog);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
