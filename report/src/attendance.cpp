#include "attendance.h"

#include <algorithm>

#include "cell_values.h"

namespace {

enum { ATTENDANCE_USER, ATTENDANCE_DATE, ATTENDANCE_START, ATTENDANCE_END };

const std::vector<CsvColumn> ATTENDANCE_FILE_COLUMNS = {
    {{"ユーザー", "user"}, true},
    {{"日付", "date"}, true},
    {{"出勤", "start"}, true},
    {{"退勤", "end"}, true},
};

// An empty cell is no time; anything else must be one.
bool ReadClock(std::string_view cell, bool& has, int64_t& seconds)
{
    has = !cell.empty();
    return !has || (ParseCellTime(cell, seconds) && seconds <= MAX_CLOCKED_S);
}

// Reads one row into day; the reason it cannot, otherwise.
std::string ReadRow(const CsvRow& row, const std::vector<int>& at, ClockedDay& day)
{
    day.user = std::string(CellAt(row, at[ATTENDANCE_USER]));
    day.line = row.line;
    std::string_view date = CellAt(row, at[ATTENDANCE_DATE]);
    std::string_view start = CellAt(row, at[ATTENDANCE_START]), end = CellAt(row, at[ATTENDANCE_END]);
    if (day.user.empty()) return "ユーザーがありません";
    if (!ParseCellDate(date, day.day)) return DescribeBadDate(date);
    if (!ReadClock(start, day.hasStart, day.startS)) return DescribeBadTime("出勤", start);
    if (!ReadClock(end, day.hasEnd, day.endS)) return DescribeBadTime("退勤", end);
    if (day.hasStart && day.hasEnd && day.endS < day.startS)
        return "退勤が出勤より前です (夜勤の退勤は 24:00 を超えて書きます): " + std::string(end);
    return {};
}

bool Earlier(const ClockedDay& a, const ClockedDay& b)
{
    return a.user != b.user ? a.user < b.user : a.day < b.day;
}

void Join(ClockedDay& into, const ClockedDay& other)
{
    if (other.hasStart && (!into.hasStart || other.startS < into.startS)) into.startS = other.startS;
    if (other.hasEnd && (!into.hasEnd || other.endS > into.endS)) into.endS = other.endS;
    into.hasStart = into.hasStart || other.hasStart;
    into.hasEnd = into.hasEnd || other.hasEnd;
}

}  // namespace

Attendance ReadAttendance(std::string_view bytes)
{
    CsvTable table = ReadCsvTable(bytes, ATTENDANCE_FILE_COLUMNS);
    Attendance result;
    result.problems = std::move(table.problems);
    for (const CsvRow& row : table.rows) {
        ClockedDay day;
        std::string reason = ReadRow(row, table.columns, day);
        if (!reason.empty())
            result.problems.push_back({row.line, reason});
        else if (day.hasStart || day.hasEnd)
            result.days.push_back(std::move(day));
    }
    std::stable_sort(result.days.begin(), result.days.end(), Earlier);
    std::vector<ClockedDay> joined;
    for (ClockedDay& day : result.days) {
        if (!joined.empty() && joined.back().user == day.user && joined.back().day == day.day)
            Join(joined.back(), day);
        else
            joined.push_back(std::move(day));
    }
    result.days = std::move(joined);
    return result;
}
