#include "months.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "civil_time.h"
#include "outputs.h"

namespace {

constexpr int64_t H = 3600;

struct Day {
    const char* source;
    int month, date;
    int firstHour;
    int64_t spanS;
    const char* holiday;
    int64_t nightS;
    uint32_t flags = 0;
};

DayRow MakeDay(const Day& d)
{
    DayRow row;
    row.source = d.source, row.user = "u", row.place = "PC";
    row.day = DaysFromCivil(2026, d.month, d.date);
    row.first = row.day * SECONDS_PER_DAY + d.firstHour * H;
    row.last = row.first + d.spanS;
    row.spanS = d.spanS, row.activeS = d.spanS - H, row.nightS = d.nightS;
    row.holiday = d.holiday;
    row.flags = d.flags;
    return row;
}

// "source YYYY-MM days holidays late span active night overtime flags;" per month.
std::string Shown(const std::vector<MonthRow>& months)
{
    std::string shown;
    for (const MonthRow& m : months)
        shown += m.source + " " + FormatMonth(m.month) + " " +
                 std::to_string(m.days) + " " + std::to_string(m.holidayDays) + " " + std::to_string(m.lateDays) +
                 " " + std::to_string(m.spanS / 60) + "m " + std::to_string(m.activeS / 60) + "m " +
                 std::to_string(m.nightS / 60) + "m " + std::to_string(m.overtimeS) + "s" +
                 (m.flags & MONTH_FLAG_OVER_LIMIT ? " over" : "") + " d" + std::to_string(m.divergenceDays) + ";";
    return shown;
}

}  // namespace

// A month ends with its last date, whatever hour the day ran to; a working
// day's overtime is the span past the workday, a day off's the whole span;
// over the limit means more than it.
TEST(Months, ByPersonAndCalendarMonthAgainstTheLimit)
{
    const struct {
        const char* name;
        std::vector<Day> days;
        MonthRules rules;
        const char* shown;
    } rows[] = {
        {"a late day on the month's last date stays in its month",
         {{"a", 11, 30, 15, 10 * H, "", 2 * H}, {"a", 12, 1, 9, 9 * H, "", 0}, {"a", 12, 5, 10, 4 * H, "土曜日", 0}},
         {},
         "a 2026-11 1 0 1 600m 540m 120m 3600s d0;a 2026-12 2 1 0 780m 660m 0m 14400s d0;"},
        {"a day ending at 22:00 exactly is not late; past midnight is",
         {{"a", 12, 7, 13, 9 * H, "", 0}, {"a", 12, 8, 20, 5 * H, "", 3 * H}}, {},
         "a 2026-12 2 0 1 840m 720m 180m 0s d0;"},
        {"45 hours exactly is the limit, a second more is over it",
         {{"b", 12, 1, 6, 18 * H, "", 0}, {"b", 12, 2, 6, 18 * H, "", 0}, {"b", 12, 3, 6, 18 * H, "", 0},
          {"b", 12, 4, 6, 18 * H, "", 0}, {"b", 12, 7, 6, 18 * H, "", 0},
          {"c", 12, 1, 6, 18 * H, "", 0}, {"c", 12, 2, 6, 18 * H, "", 0}, {"c", 12, 3, 6, 18 * H, "", 0},
          {"c", 12, 4, 6, 18 * H, "", 0}, {"c", 12, 7, 6, 18 * H + 1, "", 0}},
         {},
         "b 2026-12 5 0 5 5400m 5100m 0m 162000s d0;c 2026-12 5 0 5 5400m 5100m 0m 162001s over d0;"},
        {"another workday and limit",
         {{"d", 12, 1, 9, 8 * H, "", 0}, {"d", 12, 6, 9, 2 * H, "創立記念日", 0}}, {7 * H + 45 * 60, 2 * H},
         "d 2026-12 2 1 0 600m 480m 0m 8100s over d0;"},
        {"divergences counted; a clocked day without PC use is no PC day",
         {{"e", 12, 1, 9, 9 * H, "", 0, FLAG_DIVERGENCE | FLAG_NO_ATTENDANCE}, {"e", 12, 2, 9, 9 * H, "", 0, FLAG_DIVERGENCE},
          {"e", 12, 3, 9, 0, "", 0, FLAG_NO_PC_RECORD}, {"e", 12, 5, 0, 0, "土曜日", 0, FLAG_NO_PC_RECORD}},
         {}, "e 2026-12 2 0 0 1080m 960m 0m 0s d2;"},
    };
    for (const auto& r : rows) {
        std::vector<DayRow> days;
        for (const Day& d : r.days) days.push_back(MakeDay(d));
        EXPECT_EQ(Shown(ComputeMonths(days, r.rules)), r.shown) << r.name;
    }
}
