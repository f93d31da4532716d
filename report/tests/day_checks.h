// What the report's tests make and check of a day: a day of December 2026 to
// start from, the figures expected, and that they are sound whatever the case
// (the sums make the span, none is negative).
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "civil_time.h"
#include "log/event_texts.h"
#include "report_model.h"

constexpr int64_t M = 60, H = 3600;  // seconds, to write durations as 8 * H + 30 * M
inline const int64_t DEC_7 = DaysFromCivil(2026, 12, 7);  // the date most cases start on

// An instant of December 2026 (a date past the 31st runs on into the next months).
inline CivilSeconds At(int date, int hour, int minute = 0, int second = 0)
{
    return DaysFromCivil(2026, 12, date) * SECONDS_PER_DAY + hour * 3600 + minute * 60 + second;
}

// A short run's daily file: enough lines for an active stretch, and one bad line (line 3).
inline const char* const SHORT_DAY = "2026/12/07 09:00:00 - " EVENT_TEXT_START "\r\n"
                                     "2026/12/07 09:00:10 - " EVENT_TEXT_LOCK "\r\n"
                                     "not a line\r\n"
                                     "2026/12/07 09:00:20 - " EVENT_TEXT_UNLOCK "\r\n"
                                     "2026/12/07 09:00:30 - " EVENT_TEXT_EXIT "\r\n";

// A source's day ("PC1/u_log", its place the folder before the slash) from first
// to last, dated by first; the figures beyond the span are the test's to set.
inline DayRow Day(const std::string& source, const std::string& user, CivilSeconds first, CivilSeconds last)
{
    DayRow row;
    row.source = source, row.user = user, row.place = source.substr(0, source.find('/'));
    row.day = first / SECONDS_PER_DAY, row.first = first, row.last = last, row.spanS = last - first;
    return row;
}

struct DayFigures {
    CivilSeconds first, last;
    int64_t active, locked, suspended, off;
};

inline void ExpectSound(const DayRow& row, const std::string& name)
{
    EXPECT_EQ(row.activeS + row.lockedS + row.suspendedS + row.offS, row.spanS) << name;
    EXPECT_EQ(row.spanS, row.last - row.first) << name;
    for (int64_t v : {row.activeS, row.lockedS, row.suspendedS, row.offS}) EXPECT_GE(v, 0) << name;
}

inline void ExpectFigures(const DayRow& row, const DayFigures& expected, const std::string& name)
{
    EXPECT_EQ(row.first, expected.first) << name;
    EXPECT_EQ(row.last, expected.last) << name;
    EXPECT_EQ(row.activeS, expected.active) << name;
    EXPECT_EQ(row.lockedS, expected.locked) << name;
    EXPECT_EQ(row.suspendedS, expected.suspended) << name;
    EXPECT_EQ(row.offS, expected.off) << name;
    ExpectSound(row, name);
}
