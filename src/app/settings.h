// The settings store: the shared record, its INI file and the user-name rule that names it.
#pragma once
#include <stddef.h>

#include "app/settings_table.h"

#define PATH_CHARS 260
#define USER_NAME_CHARS 257

extern AppSettings Settings;
extern wchar_t SettingsPath[PATH_CHARS];

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
