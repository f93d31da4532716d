#include "report_model.h"

const char* const DayFlagNames[DAY_FLAG_COUNT] = {"abnormal_end", "two_instances", "clock_jump", "torn_line", "bad_lines",
                                                   "divergence", "no_attendance", "no_pc_record"};
const char* const MonthFlagNames[MONTH_FLAG_COUNT] = {"over_limit"};
