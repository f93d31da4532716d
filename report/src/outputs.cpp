#include <iterator>
#include <string>

#include "civil_time.h"
#include "outputs.h"

// The headings say what the log can know: time unlocked while the program
// ran (not presence), the span from first to last (拘束時間), lines it could not read.
const ReportColumn ReportColumns[REPORT_COLUMN_COUNT] = {
    {"source", "ログフォルダー"},
    {"user", "ユーザー"},
    {"place", "PC"},
    {"date", "日付"},
    {"first", "開始時刻"},
    {"last", "終了時刻"},
    {"span_s", "拘束時間"},
    {"active_s", "ロック解除時間（プログラム稼働中）"},
    {"locked_s", "ロック時間"},
    {"suspended_s", "スリープ時間"},
    {"off_s", "記録のない時間"},
    {"starts", "起動回数"},
    {"exits", "終了回数"},
    {"locks", "ロック回数"},
    {"unlocks", "ロック解除回数"},
    {"suspends", "スリープ回数"},
    {"resumes", "復帰回数"},
    {"bad_lines", "読めない行数"},
    {"heartbeat_s", "記録間隔（秒）"},
    {"flags", "フラグ"},
};

const char* const DayFlagWords[DAY_FLAG_COUNT] = {"異常終了", "二重起動",     "時計の逆行",  "途切れた行",
                                                  "読めない行", "勤怠との乖離", "勤怠記録なし", "PC記録なし"};

static const ReportColumn DAY_MARK_COLUMNS[] = {
    {"weekday", "曜日"},
    {"holiday", "休日"},
    {"night_s", "深夜時間（22時から5時）"},
};

static const ReportColumn ATTENDANCE_COLUMNS[] = {
    {"clock_in", "出勤時刻"},
    {"clock_out", "退勤時刻"},
    {"before_clock_in_min", "出勤前のPC使用（分）"},
    {"after_clock_out_min", "退勤後のPC使用（分）"},
};
static const ReportColumn PEOPLE_COLUMNS[] = {
    {"name", "氏名"},
    {"department", "部署"},
};
// For the person who explains a divergence: the CSV's alone, last.
static const ReportColumn REASON_COLUMN = {nullptr, "乖離理由"};

std::vector<ReportColumn> DayColumns(const Report& report)
{
    std::vector<ReportColumn> columns(std::begin(ReportColumns), std::end(ReportColumns));
    columns.insert(columns.end(), std::begin(DAY_MARK_COLUMNS), std::end(DAY_MARK_COLUMNS));
    if (report.hasAttendance) columns.insert(columns.end(), std::begin(ATTENDANCE_COLUMNS), std::end(ATTENDANCE_COLUMNS));
    if (report.hasPeople) columns.insert(columns.end(), std::begin(PEOPLE_COLUMNS), std::end(PEOPLE_COLUMNS));
    if (report.hasAttendance) columns.push_back(REASON_COLUMN);
    return columns;
}

static Cell KnownOr(bool known, CellKind kind, int64_t value, int64_t day = 0)
{
    return known ? Cell{kind, value, day, {}} : Cell{CELL_NONE, 0, 0, {}};
}

std::vector<Cell> DayCells(const Report& report, const DayRow& row)
{
    std::vector<Cell> cells = {{CELL_TEXT, 0, 0, row.source}, {CELL_TEXT, 0, 0, row.user},
                               {CELL_TEXT, 0, 0, row.place}, {CELL_DATE, row.day, 0, {}}};
    // A clocked day without PC use has no first or last.
    bool used = !(row.flags & FLAG_NO_PC_RECORD);
    for (CivilSeconds time : {row.first, row.last}) cells.push_back(KnownOr(used, CELL_TIME, time, row.day));
    for (int64_t duration : {row.spanS, row.activeS, row.lockedS, row.suspendedS, row.offS})
        cells.push_back({CELL_DURATION, duration, 0, {}});
    for (int64_t count : {row.starts, row.exits, row.locks, row.unlocks, row.suspends, row.resumes, row.badLines,
                          row.heartbeatS})
        cells.push_back({CELL_COUNT, count, 0, {}});
    cells.push_back({CELL_DAY_FLAGS, row.flags, 0, {}});
    cells.push_back({CELL_COUNT, row.weekday, 0, {}});
    cells.push_back({CELL_TEXT, 0, 0, row.holiday});
    cells.push_back({CELL_DURATION, row.nightS, 0, {}});
    if (report.hasAttendance) {
        cells.push_back(KnownOr(row.hasClockIn, CELL_CLOCK, row.clockInS));
        cells.push_back(KnownOr(row.hasClockOut, CELL_CLOCK, row.clockOutS));
        cells.push_back(KnownOr(used && row.hasClockIn, CELL_COUNT, row.beforeClockInMin));
        cells.push_back(KnownOr(used && row.hasClockOut, CELL_COUNT, row.afterClockOutMin));
    }
    if (report.hasPeople) {
        cells.push_back({CELL_TEXT, 0, 0, row.name});
        cells.push_back({CELL_TEXT, 0, 0, row.department});
    }
    if (report.hasAttendance) cells.push_back({CELL_TEXT, 0, 0, {}});
    return cells;
}

std::string FormatBusinessTime(CivilSeconds t, int64_t day)
{
    return FormatDuration(t - day * SECONDS_PER_DAY);
}

std::string FormatMonth(int month)
{
    return FormatDate(DaysFromCivil(month / 12, month % 12 + 1, 1)).substr(0, 7);
}

std::string FormatClock(int64_t seconds)
{
    std::string text = FormatDuration(seconds);
    return seconds < 10 * 3600 ? "0" + text : text;
}

std::string JoinFlagWords(uint32_t flags, const char* const* names, size_t count, std::string_view separator)
{
    std::string joined;
    for (size_t bit = 0; bit < count; ++bit) {
        if (!(flags & (1u << bit))) continue;
        if (!joined.empty()) joined += separator;
        joined += names[bit];
    }
    return joined;
}

std::string JoinFlagNames(uint32_t flags, const FlagNames& names, std::string_view separator)
{
    return JoinFlagWords(flags, names, DAY_FLAG_COUNT, separator);
}
