#include "months.h"

#include <algorithm>

#include "civil_time.h"
#include "night_time.h"

int64_t OvertimeSeconds(const DayRow& row, const MonthRules& rules)
{
    if (!row.holiday.empty()) return row.spanS;
    return std::max<int64_t>(0, row.spanS - rules.workdayS);
}

static bool EndsLate(const DayRow& row)
{
    return row.last > row.day * SECONDS_PER_DAY + NIGHT_BEGINS_S;
}

std::vector<MonthRow> ComputeMonths(const std::vector<DayRow>& rows, const MonthRules& rules)
{
    std::vector<MonthRow> months;
    for (const DayRow& row : rows) {
        if (row.flags & FLAG_NO_PC_RECORD) continue;  // clocked, but no PC day
        CivilDate date = CivilFromDays(row.day);
        int month = MonthIndex(date.year, date.month);
        if (months.empty() || months.back().source != row.source || months.back().month != month) {
            MonthRow next;
            next.source = row.source, next.user = row.user, next.place = row.place, next.month = month;
            next.name = row.name, next.department = row.department;
            months.push_back(std::move(next));
        }
        MonthRow& m = months.back();
        ++m.days;
        if (!row.holiday.empty()) ++m.holidayDays;
        if (EndsLate(row)) ++m.lateDays;
        if (row.flags & FLAG_DIVERGENCE) ++m.divergenceDays;
        m.spanS += row.spanS, m.activeS += row.activeS, m.nightS += row.nightS;
        m.overtimeS += OvertimeSeconds(row, rules);
    }
    for (MonthRow& m : months)
        if (m.overtimeS > rules.overtimeLimitS) m.flags |= MONTH_FLAG_OVER_LIMIT;
    return months;
}
