// --merge-users: one row per user and day, the union of that user's sources.
#pragma once
#include <vector>

#include "report_model.h"

// rows: every source's days, by source and day, with the days that have no
// active second kept (a PC only locked or asleep still counts in the union).
// The union ranks active over locked over suspended over off, so that time is
// never counted twice; counts are summed and flags joined.
std::vector<DayRow> MergeUsers(const std::vector<DayRow>& rows);
