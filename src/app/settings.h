// The four user settings, their INI file and the user-name rule that names it.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct AppSettings {
    int32_t TimerIntervalSec;   // 1..3600: idle tick period and seconds added per still tick
    int32_t IdleLimitSeconds;   // 5..32767: still seconds before the lock
    int32_t IdleMoveThreshold;  // 0..100: pixels per axis that still count as no movement
    int32_t LogIntervalSec;     // 0..3600: session-state period; 0 switches the log off
};

#define PATH_CHARS 260
#define USER_NAME_CHARS 257

extern AppSettings Settings;
extern wchar_t SettingsPath[PATH_CHARS];

AppSettings DefaultSettings();
AppSettings ClampedSettings(AppSettings s);

// Replaces each of \/:*?"<>| by '_' in place; everything else stays.
void SanitizeUserName(wchar_t* name);
// The logon name, sanitised; false when the platform will not give it.
bool GetSanitizedUserName(wchar_t* name, size_t capacity);
// The running executable's full path; false on failure or when it was cut short.
bool GetExecutablePath(wchar_t* path, size_t capacity);
// Forms "<folder>\<name>_StillSentinel.ini" from a full executable path and a
// sanitised name; false (and an empty result) when it cannot be formed whole.
bool ComposeSettingsPath(wchar_t* out, size_t capacity, const wchar_t* exePath, const wchar_t* userName);

void BuildSettingsPath();
void LoadSettings();
void ClampSettings();
// Returns how many of the four writes failed (the user has been told if any did).
int SaveSettings();
