#include "app/settings.h"

#include <windows.h>

#include "log/format_bounded.h"

AppSettings Settings = DefaultSettings();
wchar_t SettingsPath[PATH_CHARS];

static const wchar_t SETTINGS_SECTION[] = L"StillSentinel";
static const wchar_t SAVE_FAILED_TEXT[] = L"設定の保存に失敗しました。";
static const wchar_t APP_CAPTION[] = L"StillSentinel";

void ClampSettings()
{
    Settings = ClampedSettings(Settings);
}

void SanitizeUserName(wchar_t* name)
{
    for (; *name; ++name) {
        if (wcschr(L"\\/:*?\"<>|", *name)) *name = L'_';
    }
}

bool GetSanitizedUserName(wchar_t* name, size_t capacity)
{
    DWORD size = (DWORD)capacity;
    if (capacity == 0 || !GetUserNameW(name, &size)) return false;
    name[capacity - 1] = L'\0';
    SanitizeUserName(name);
    return true;
}

bool GetExecutablePath(wchar_t* path, size_t capacity)
{
    DWORD length = GetModuleFileNameW(NULL, path, (DWORD)capacity);
    // A result that fills the buffer means the path was cut short: never use it.
    if (length == 0 || length >= capacity) {
        if (capacity) path[0] = L'\0';
        return false;
    }
    return true;
}

bool ComposeSettingsPath(wchar_t* out, size_t capacity, const wchar_t* exePath, const wchar_t* userName)
{
    wchar_t folder[PATH_CHARS];
    out[0] = L'\0';
    if (FormatBounded(folder, ARRAYSIZE(folder), L"%s", exePath) < 0) return false;
    wchar_t* lastSlash = wcsrchr(folder, L'\\');
    if (!lastSlash) return false;
    lastSlash[1] = L'\0';  // keep the trailing backslash
    if (FormatBounded(out, capacity, L"%s%s_StillSentinel.ini", folder, userName) < 0) {
        out[0] = L'\0';
        return false;
    }
    return true;
}

void BuildSettingsPath()
{
    wchar_t exePath[PATH_CHARS];
    wchar_t userName[USER_NAME_CHARS];
    SettingsPath[0] = L'\0';
    if (!GetExecutablePath(exePath, ARRAYSIZE(exePath))) return;
    if (!GetSanitizedUserName(userName, ARRAYSIZE(userName))) return;
    ComposeSettingsPath(SettingsPath, ARRAYSIZE(SettingsPath), exePath, userName);
}

void LoadSettings()
{
    // Without a path there is nothing to read: the profile functions would
    // resolve an empty name into the Windows folder. Keep the defaults.
    if (SettingsPath[0] == L'\0') return;
    for (const SettingRow& row : SETTING_ROWS) {
        int32_t& field = Settings.*row.field;
        UINT value = GetPrivateProfileIntW(SETTINGS_SECTION, row.key, field, SettingsPath);
        field = (int32_t)value;  // the top bit set reads as negative
    }
}

int SaveSettings()
{
    ClampSettings();
    int failures = 0;
    for (const SettingRow& row : SETTING_ROWS) {
        wchar_t text[16];
        FormatBounded(text, ARRAYSIZE(text), L"%d", Settings.*row.field);
        // A path that could not be formed is a failed write, never a write
        // to whatever file an empty name would resolve to.
        if (SettingsPath[0] == L'\0' ||
            !WritePrivateProfileStringW(SETTINGS_SECTION, row.key, text, SettingsPath)) {
            ++failures;
        }
    }
    if (failures) MessageBoxW(NULL, SAVE_FAILED_TEXT, APP_CAPTION, MB_ICONERROR | MB_OK);
    return failures;
}
