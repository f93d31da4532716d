// The --attendance file: the clocked start and end of each user's working day,
// as an attendance system or a spreadsheet exports them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "csv_reader.h"

// A clocked time may pass 24:00 for a night shift, up to the end of the next day.
constexpr int64_t MAX_CLOCKED_S = 48 * 3600 - 1;

struct ClockedDay {
    std::string user;
    int64_t day = 0;                 // the working day's date, days since 1970-01-01
    bool hasStart = false, hasEnd = false;  // a missing clock-in or -out stays missing
    int64_t startS = 0, endS = 0;    // seconds from that date's midnight
    uint32_t line = 0;               // the row that gave it
};

struct Attendance {
    std::vector<ClockedDay> days;    // by user, then date; one per user and date
    std::vector<LineProblem> problems;
};

// Columns by name: ユーザー/user, 日付/date, 出勤/start, 退勤/end; others ignored.
// A row that cannot be read is named and left out, the rest used; a row with
// neither time says nothing and is skipped. Two rows of one user and date
// make one day from the earliest start to the latest end.
Attendance ReadAttendance(std::string_view bytes);
