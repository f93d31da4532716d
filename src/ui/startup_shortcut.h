// The shortcut in the user's Startup folder that starts the program at logon.
#pragma once
#include <stddef.h>

// Forms "<Startup folder>\StillSentinel.lnk". False, with an empty result,
// when the folder is unknown or the path would not fit: callers then neither
// create nor delete anything.
bool GetStartupShortcutPath(wchar_t* path, size_t capacity);
// 1 when the shortcut was saved, 0 on any failure.
int CreateStartupShortcut(const wchar_t* arguments);
