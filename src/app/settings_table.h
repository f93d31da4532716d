// The four user settings: their record, and the one table of their keys,
// defaults and ranges that the store, the clamping and the dialog share.
#pragma once
#include <stdint.h>

struct AppSettings {
    int32_t TimerIntervalSec;   // idle tick period and seconds added per still tick
    int32_t IdleLimitSeconds;   // still seconds before the lock
    int32_t IdleMoveThreshold;  // pixels per axis that still count as no movement
    int32_t LogIntervalSec;     // session-state period; 0 switches the log off
};

// In the order the file is read and written and the fields are clamped.
struct SettingRow {
    const wchar_t* key;  // the INI key, which is also the field's name
    int32_t AppSettings::*field;
    int32_t defaultValue;
    int32_t low;
    int32_t high;
};

#define SETTING_COUNT 4
extern const SettingRow SETTING_ROWS[SETTING_COUNT];

AppSettings DefaultSettings();
// Each field moved to the nearest bound of its range, by signed comparison.
AppSettings ClampedSettings(AppSettings s);
