// Each person's month: the day rows summed by calendar month, with the
// overtime the PC record suggests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "report_model.h"

struct MonthRules {
    int64_t workdayS = 9 * 3600;          // a working day's span, the break included
    int64_t overtimeLimitS = 45 * 3600;   // the month's limit
};

// Sums the rows (by person, then day: a source's, or a user's when merged)
// into one row per person and calendar month of the rows' dates.
std::vector<MonthRow> ComputeMonths(const std::vector<DayRow>& rows, const MonthRules& rules);

// The estimate for one day: the span beyond a working day, or all of it on a day off.
int64_t OvertimeSeconds(const DayRow& row, const MonthRules& rules);
