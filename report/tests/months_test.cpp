#include "months.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "day_checks.h"
#include "outputs.h"

namespace {

struct Worked {
    const char* source;
    int month, date;
    int firstHour;
    int64_t spanS;
    const char* holiday;
    int64_t nightS;
    uint32_t flags = 0;
};

// The months of the days as monthly.csv gives them (divergences counted), without its headings.
std::string MonthlyRecords(const std::vector<Worked>& days, const MonthRules& rules)
{
    Report report;
    report.hasAttendance = true;
    for (const Worked& d : days) {
        CivilSeconds first = DaysFromCivil(2026, d.month, d.date) * SECONDS_PER_DAY + d.firstHour * H;
        DayRow row = Day(d.source, "u", first, first + d.spanS);
        row.activeS = d.spanS - H, row.nightS = d.nightS, row.holiday = d.holiday, row.flags = d.flags;
        report.rows.push_back(row);
    }
    report.months = ComputeMonths(report.rows, rules);
    std::string csv = FormatMonthlyCsv(report, CSV_UTF8);
    return csv.substr(csv.find("\r\n") + 2);
}

}  // namespace

// A month ends with its last date, whatever hour the day ran to; a working
// day's overtime is the span past the workday, a day off's the whole span;
// over the limit means more than it. Durations run past 24 hours, as a
// spreadsheet sums them.
TEST(Months, ByPersonAndCalendarMonthAgainstTheLimit)
{
    const struct {
        const char* name;
        std::vector<Worked> days;
        MonthRules rules;
        const char* records;
    } rows[] = {
        {"a late day on the month's last date stays in its month",
         {{"a", 11, 30, 15, 10 * H, "", 2 * H}, {"a", 12, 1, 9, 9 * H, "", 0}, {"a", 12, 5, 10, 4 * H, "土曜日", 0}},
         {},
         "a,u,a,2026-11,1,0,10:00:00,9:00:00,2:00:00,1,1:00:00,,0\r\n"
         "a,u,a,2026-12,2,1,13:00:00,11:00:00,0:00:00,0,4:00:00,,0\r\n"},
        {"a day ending at 22:00 exactly is not late; past midnight is",
         {{"a", 12, 7, 13, 9 * H, "", 0}, {"a", 12, 8, 20, 5 * H, "", 3 * H}}, {},
         "a,u,a,2026-12,2,0,14:00:00,12:00:00,3:00:00,1,0:00:00,,0\r\n"},
        {"45 hours exactly is the limit, a second more is over it",
         {{"b", 12, 1, 6, 18 * H, "", 0}, {"b", 12, 2, 6, 18 * H, "", 0}, {"b", 12, 3, 6, 18 * H, "", 0},
          {"b", 12, 4, 6, 18 * H, "", 0}, {"b", 12, 7, 6, 18 * H, "", 0},
          {"c", 12, 1, 6, 18 * H, "", 0}, {"c", 12, 2, 6, 18 * H, "", 0}, {"c", 12, 3, 6, 18 * H, "", 0},
          {"c", 12, 4, 6, 18 * H, "", 0}, {"c", 12, 7, 6, 18 * H + 1, "", 0}},
         {},
         "b,u,b,2026-12,5,0,90:00:00,85:00:00,0:00:00,5,45:00:00,,0\r\n"
         "c,u,c,2026-12,5,0,90:00:01,85:00:01,0:00:00,5,45:00:01,時間外上限超過,0\r\n"},
        {"another workday and limit",
         {{"d", 12, 1, 9, 8 * H, "", 0}, {"d", 12, 6, 9, 2 * H, "創立記念日", 0}}, {7 * H + 45 * 60, 2 * H},
         "d,u,d,2026-12,2,1,10:00:00,8:00:00,0:00:00,0,2:15:00,時間外上限超過,0\r\n"},
        {"divergences counted; a clocked day without PC use is no PC day",
         {{"e", 12, 1, 9, 9 * H, "", 0, FLAG_DIVERGENCE | FLAG_NO_ATTENDANCE}, {"e", 12, 2, 9, 9 * H, "", 0, FLAG_DIVERGENCE},
          {"e", 12, 3, 9, 0, "", 0, FLAG_NO_PC_RECORD}, {"e", 12, 5, 0, 0, "土曜日", 0, FLAG_NO_PC_RECORD}},
         {}, "e,u,e,2026-12,2,0,18:00:00,16:00:00,0:00:00,0,0:00:00,,2\r\n"},
    };
    for (const auto& r : rows) EXPECT_EQ(MonthlyRecords(r.days, r.rules), r.records) << r.name;
}

// For programs: the keys in order, seconds, the flag's English word.
TEST(Months, JsonLinesKeysInOrder)
{
    Report report;
    MonthRow month;
    month.source = "PC001/tanaka_log", month.user = "tanaka", month.place = "PC001", month.month = MonthIndex(2027, 1);
    month.days = 21, month.holidayDays = 2, month.spanS = 368100, month.activeS = 300000, month.nightS = 5400;
    month.lateDays = 3, month.overtimeS = 162001, month.flags = MONTH_FLAG_OVER_LIMIT;
    report.months = {month};
    EXPECT_EQ(FormatMonthlyJsonLines(report),
              "{\"source\":\"PC001/tanaka_log\",\"user\":\"tanaka\",\"place\":\"PC001\",\"month\":\"2027-01\",\"days\":21,"
              "\"holiday_days\":2,\"span_s\":368100,\"active_s\":300000,\"night_s\":5400,\"late_days\":3,"
              "\"overtime_s\":162001,\"flags\":[\"over_limit\"]}\n");
}
