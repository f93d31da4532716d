// The settings dialog: the four values and the Startup check box.
#pragma once
#include <windows.h>
#include <stdint.h>

// Reads a field's text as the number it shows: decimal digits, optionally
// grouped by the user's own thousands separator between digits, with
// surrounding blanks ignored. False for anything else, or above 4294967295.
bool ParseFieldNumber(const wchar_t* text, const wchar_t* groupSeparator, uint32_t* value);

INT_PTR CALLBACK SettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
