#include "app/settings_table.h"

// Constant data: in place before any record takes its defaults from it.
const SettingRow SETTING_ROWS[SETTING_COUNT] = {
    {L"TimerIntervalSec", &AppSettings::TimerIntervalSec, 10, 1, 3600},
    {L"IdleLimitSeconds", &AppSettings::IdleLimitSeconds, 900, 5, 32767},
    {L"IdleMoveThreshold", &AppSettings::IdleMoveThreshold, 3, 0, 100},
    {L"LogIntervalSec", &AppSettings::LogIntervalSec, 30, 0, 3600},
};

AppSettings DefaultSettings()
{
    AppSettings s = {};
    for (const SettingRow& row : SETTING_ROWS) s.*row.field = row.defaultValue;
    return s;
}

static int32_t ClampValue(int32_t value, int32_t low, int32_t high)
{
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

AppSettings ClampedSettings(AppSettings s)
{
    for (const SettingRow& row : SETTING_ROWS) s.*row.field = ClampValue(s.*row.field, row.low, row.high);
    return s;
}
