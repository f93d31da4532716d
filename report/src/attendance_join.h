// The clocked times beside the PC's: each day row gains its user's attendance
// for that date, and each clocked day without PC use becomes a row of its own.
#pragma once
#include <cstdint>
#include <vector>

#include "attendance.h"
#include "report_model.h"

// rows: by source, then day; so they stay. Users match whatever their case,
// as Windows user names do (ASCII letters folded). divergenceMin: the minutes
// before the clocked start or after the clocked end that are more than chance.
void JoinAttendance(std::vector<DayRow>& rows, const Attendance& attendance, int64_t divergenceMin);
