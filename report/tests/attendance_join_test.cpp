#include "attendance_join.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "civil_time.h"
#include "outputs.h"

namespace {

const int64_t DEC_7 = DaysFromCivil(2026, 12, 7);

CivilSeconds At(int date, int hour, int minute, int second = 0)
{
    return (DEC_7 + date - 7) * SECONDS_PER_DAY + hour * 3600 + minute * 60 + second;
}

DayRow PcDay(const char* source, const char* user, int date, CivilSeconds first, CivilSeconds last)
{
    DayRow row;
    row.source = source, row.user = user, row.place = "PC1";
    row.day = DEC_7 + date - 7, row.first = first, row.last = last, row.spanS = last - first;
    return row;
}

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

// The clocked times as a spreadsheet gives them, one unreadable row among
// them, against the PC's days.
TEST(AttendanceJoin, ClockedTimesBesideThePcs)
{
    const std::string file = "ユーザー,日付,出勤,退勤\r\n"
                             "tanaka,2026/12/7,9:00,18:00\r\n"     // early and late on both sides
                             "tanaka,2026-12-08,9:00,18:00\r\n"    // within the margin
                             "tanaka,2026/12/9,9:00,18:00\r\n"     // the PC later than the start, earlier than the end
                             "tanaka,2026/12/10,9:00,18:00\r\n"    // 30:59 before: rounded down, not over 30
                             "tanaka,2026/12/11,9:00,18:00\r\n"    // 31 minutes before
                             "tanaka,2026/12/14,,18:00\r\n"        // no clock-in
                             "tanaka,2026/12/15,9:00,18:00\r\n"    // no PC use that day
                             "tanaka,2026/12/16,9:00,25:00\r\n"    // no PC use, an end past midnight
                             "tanaka,2026/13/16,9:00,18:00\r\n"    // unreadable: no such date
                             "SUZUKI,2026/12/7,22:00,30:00\r\n";   // a night shift, any case of the name
    Attendance attendance = ReadAttendance(file);
    ASSERT_EQ(attendance.problems.size(), 1u);
    EXPECT_EQ(attendance.problems[0].line, 10u);
    std::vector<DayRow> rows = {
        PcDay("PC1/suzuki_log", "suzuki", 7, At(7, 21, 40), At(8, 6, 40)),
        PcDay("PC1/tanaka_log", "tanaka", 7, At(7, 8, 0), At(7, 19, 0)),
        PcDay("PC1/tanaka_log", "tanaka", 8, At(8, 8, 45), At(8, 18, 20)),
        PcDay("PC1/tanaka_log", "tanaka", 9, At(9, 9, 10), At(9, 17, 50)),
        PcDay("PC1/tanaka_log", "tanaka", 10, At(10, 8, 29, 1), At(10, 18, 0)),
        PcDay("PC1/tanaka_log", "tanaka", 11, At(11, 8, 29), At(11, 18, 0)),
        PcDay("PC1/tanaka_log", "tanaka", 12, At(12, 10, 0), At(12, 12, 0)),  // no attendance that day
        PcDay("PC1/tanaka_log", "tanaka", 14, At(14, 8, 0), At(14, 19, 0)),
    };
    JoinAttendance(rows, attendance, 30);
    EXPECT_EQ(Shown(rows),
              "PC1/suzuki_log 07 22:00:00-30:00:00 20/40 divergence;"
              "PC1/tanaka_log 07 09:00:00-18:00:00 60/60 divergence;"
              "PC1/tanaka_log 08 09:00:00-18:00:00 15/20 ;"
              "PC1/tanaka_log 09 09:00:00-18:00:00 0/0 ;"
              "PC1/tanaka_log 10 09:00:00-18:00:00 30/0 ;"
              "PC1/tanaka_log 11 09:00:00-18:00:00 31/0 divergence;"
              "PC1/tanaka_log 12 --- 0/0 no_attendance;"
              "PC1/tanaka_log 14 --18:00:00 0/60 divergence;"
              "PC1/tanaka_log 15 09:00:00-18:00:00 0/0 no_pc_record;"
              "PC1/tanaka_log 16 09:00:00-25:00:00 0/0 no_pc_record;");
    EXPECT_EQ(rows.back().place, "PC1") << "listed under the user's only PC";
}

// Merged rows carry the user alone; a user with two sources and a clocked day
// without PC use gets a row under the user's name.
TEST(AttendanceJoin, MergedUserAndAUserOfTwoPcs)
{
    Attendance attendance = ReadAttendance("user,date,start,end\nTanaka,2026-12-07,9:00,18:00\n"
                                           "TANAKA,2026-12-08,9:00,18:00\n");
    std::vector<DayRow> merged = {PcDay("tanaka", "tanaka", 7, At(7, 8, 0), At(7, 18, 0))};
    JoinAttendance(merged, attendance, 59);
    EXPECT_EQ(Shown(merged), "tanaka 07 09:00:00-18:00:00 60/0 divergence;tanaka 08 09:00:00-18:00:00 0/0 no_pc_record;");
    EXPECT_EQ(merged[1].user, "tanaka") << "the user as the logs spell it";

    std::vector<DayRow> two = {PcDay("PC1/tanaka_log", "tanaka", 7, At(7, 9, 0), At(7, 18, 0)),
                               PcDay("PC2/tanaka_log", "tanaka", 7, At(7, 9, 0), At(7, 18, 0))};
    two[1].place = "PC2";
    JoinAttendance(two, attendance, 30);
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(two[2].source + "|" + two[2].place + "|" + JoinFlagNames(two[2].flags, DayFlagNames, ","),
              "tanaka||no_pc_record");
}
