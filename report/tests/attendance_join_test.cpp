#include "attendance_join.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "day_checks.h"
#include "outputs.h"

namespace {

// "source date in-out before/after flags;" for each row, as a person would check them.
std::string Shown(const std::vector<DayRow>& rows)
{
    std::string shown;
    for (const DayRow& r : rows) {
        shown += r.source + " " + FormatDate(r.day).substr(8) + " " + (r.hasClockIn ? FormatClock(r.clockInS) : "-") +
                 "-" + (r.hasClockOut ? FormatClock(r.clockOutS) : "-") + " " + std::to_string(r.beforeClockInMin) +
                 "/" + std::to_string(r.afterClockOutMin) + " " + JoinFlagNames(r.flags, DayFlagNames, ",") + ";";
    }
    return shown;
}

}  // namespace

// The clocked times as a spreadsheet gives them against the PC's days; a
// merged row carries the user alone, and a clocked day without PC use goes
// under the user's PC, or the user's name when there are two.
TEST(AttendanceJoin, ClockedTimesBesideThePcs)
{
    const std::string file = "ユーザー,日付,出勤,退勤\r\n"
                             "tanaka,2026/12/7,9:00,18:00\r\n"     // early and late on both sides
                             "tanaka,2026-12-08,9:00,18:00\r\n"    // within the margin
                             "tanaka,2026/12/9,9:00,18:00\r\n"     // the PC later than the start, earlier than the end
                             "tanaka,2026/12/10,9:00,18:00\r\n"    // 30:59 before: rounded down, not over 30
                             "tanaka,2026/12/11,9:00,18:00\r\n"    // 31 minutes before
                             "tanaka,2026/12/14,,18:00\r\n"        // no clock-in
                             "TANAKA,2026/12/15,9:00,18:00\r\n"    // no PC use that day
                             "tanaka,2026/12/16,9:00,25:00\r\n"    // no PC use, an end past midnight
                             "SUZUKI,2026/12/7,22:00,30:00\r\n"   // a night shift, any case of the name
                             "sato,2026/12/7,9:00,18:00\r\n"      // a user of two PCs, the day on neither
                             "Kato,2026/12/7,9:00,18:00\r\n";     // a merged row
    Attendance attendance = ReadAttendance(file);
    std::vector<DayRow> rows = {
        Day("PC1/sato_log", "sato", At(8, 9), At(8, 18)),
        Day("PC1/suzuki_log", "suzuki", At(7, 21, 40), At(8, 6, 40)),
        Day("PC2/sato_log", "sato", At(8, 9), At(8, 18)),
        Day("PC1/tanaka_log", "tanaka", At(7, 8), At(7, 19)),
        Day("PC1/tanaka_log", "tanaka", At(8, 8, 45), At(8, 18, 20)),
        Day("PC1/tanaka_log", "tanaka", At(9, 9, 10), At(9, 17, 50)),
        Day("PC1/tanaka_log", "tanaka", At(10, 8, 29, 1), At(10, 18)),
        Day("PC1/tanaka_log", "tanaka", At(11, 8, 29), At(11, 18)),
        Day("PC1/tanaka_log", "tanaka", At(12, 10), At(12, 12)),  // no attendance that day
        Day("PC1/tanaka_log", "tanaka", At(14, 8), At(14, 19)),
        Day("kato", "kato", At(7, 8), At(7, 18, 30)),
    };
    JoinAttendance(rows, attendance, 30);
    EXPECT_EQ(Shown(rows),
              "PC1/sato_log 08 --- 0/0 no_attendance;"
              "PC1/suzuki_log 07 22:00:00-30:00:00 20/40 divergence;"
              "PC1/tanaka_log 07 09:00:00-18:00:00 60/60 divergence;"
              "PC1/tanaka_log 08 09:00:00-18:00:00 15/20 ;"
              "PC1/tanaka_log 09 09:00:00-18:00:00 0/0 ;"
              "PC1/tanaka_log 10 09:00:00-18:00:00 30/0 ;"
              "PC1/tanaka_log 11 09:00:00-18:00:00 31/0 divergence;"
              "PC1/tanaka_log 12 --- 0/0 no_attendance;"
              "PC1/tanaka_log 14 --18:00:00 0/60 divergence;"
              "PC1/tanaka_log 15 09:00:00-18:00:00 0/0 no_pc_record;"
              "PC1/tanaka_log 16 09:00:00-25:00:00 0/0 no_pc_record;"
              "PC2/sato_log 08 --- 0/0 no_attendance;"
              "kato 07 09:00:00-18:00:00 60/30 divergence;"
              "sato 07 09:00:00-18:00:00 0/0 no_pc_record;");
    EXPECT_EQ(rows[9].place + "|" + rows[9].user, "PC1|tanaka") << "under the user's only PC, named as the logs name it";
}
