#include "civil_time.h"

#include <cstdio>

// Howard Hinnant's days-from-civil algorithm (public domain).
int64_t DaysFromCivil(int year, int month, int day)
{
    int64_t y = (int64_t)year - (month <= 2 ? 1 : 0);
    int64_t era = FloorDiv(y, 400);
    int64_t yoe = y - era * 400;
    int64_t mp = (month + 9) % 12;
    int64_t doy = (153 * mp + 2) / 5 + day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(int64_t days)
{
    int64_t z = days + 719468;
    int64_t era = FloorDiv(z, 146097);
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    CivilDate d;
    d.day = (int)(doy - (153 * mp + 2) / 5 + 1);
    d.month = (int)(mp < 10 ? mp + 3 : mp - 9);
    d.year = (int)(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
    return d;
}

bool IsValidDate(int year, int month, int day)
{
    if (month < 1 || month > 12 || day < 1) return false;
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int length = lengths[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= length;
}

int IsoWeekday(int64_t days)
{
    // 1970-01-01 was a Thursday.
    return (int)(days - FloorDiv(days + 3, 7) * 7 + 4);
}

bool ParseDateFields(std::string_view year, std::string_view month, std::string_view day, int64_t& days)
{
    int y, m, d;
    if (!ParseDigits(year, y) || !ParseDigits(month, m) || !ParseDigits(day, d) || !IsValidDate(y, m, d))
        return false;
    days = DaysFromCivil(y, m, d);
    return true;
}

std::string FormatDate(int64_t days)
{
    CivilDate d = CivilFromDays(days);
    char text[32];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string FormatIsoTime(CivilSeconds t)
{
    int64_t days = FloorDiv(t, SECONDS_PER_DAY);
    int64_t s = t - days * SECONDS_PER_DAY;
    char text[48];
    std::snprintf(text, sizeof(text), "%sT%02d:%02d:%02d", FormatDate(days).c_str(), (int)(s / 3600),
                  (int)(s / 60 % 60), (int)(s % 60));
    return text;
}

std::string FormatDuration(int64_t seconds)
{
    if (seconds < 0) seconds = 0;
    char text[40];
    std::snprintf(text, sizeof(text), "%lld:%02d:%02d", (long long)(seconds / 3600), (int)(seconds / 60 % 60),
                  (int)(seconds % 60));
    return text;
}
