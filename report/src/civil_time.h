// Calendar arithmetic on local civil time, without time zones or the C library's
// clock functions, so that every platform gives the same answers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "report_model.h"

constexpr int64_t SECONDS_PER_DAY = 86400;

struct CivilDate {
    int year = 1970, month = 1, day = 1;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int year, int month, int day);
CivilDate CivilFromDays(int64_t days);
bool IsValidDate(int year, int month, int day);
// 1 = Monday ... 7 = Sunday (ISO 8601).
int IsoWeekday(int64_t days);

// All of text as a decimal number (a few digits, not empty); false on anything else.
inline bool ParseDigits(std::string_view text, int& value)
{
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return !text.empty();
}

// A date from its digit fields ("2026", "12", "07") as days since 1970-01-01;
// false for anything but digits, or a date that does not exist.
bool ParseDateFields(std::string_view year, std::string_view month, std::string_view day, int64_t& days);

// Floor division, for times before 1970 as well.
inline int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// "2026-12-07"
std::string FormatDate(int64_t days);
// "2026-12-07T09:00:00"
std::string FormatIsoTime(CivilSeconds t);
// Whole seconds as h:mm:ss, hours unbounded ("25:30:00").
std::string FormatDuration(int64_t seconds);
