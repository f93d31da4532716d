#include "report_model.h"

const char* const DayFlagNames[5] = {"abnormal_end", "two_instances", "clock_jump", "torn_line", "bad_lines"};
