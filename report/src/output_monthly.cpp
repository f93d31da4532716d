// The month rows as CSV and JSON Lines, written as the day rows are.
#include <iterator>
#include <string>
#include <vector>

#include "civil_time.h"
#include "outputs.h"

static const ReportColumn MONTH_COLUMNS[] = {
    {"source", nullptr},  // headings of the day rows' own columns, filled below
    {"user", nullptr},
    {"place", nullptr},
    {"month", "月"},
    {"days", "日数"},
    {"holiday_days", "休日の日数"},
    {"span_s", nullptr},
    {"active_s", nullptr},
    {"night_s", nullptr},
    {"late_days", "22時以降に及んだ日数"},
    {"overtime_s", "時間外の目安"},
    {"flags", nullptr},
};

std::vector<ReportColumn> MonthColumns(const Report& report)
{
    std::vector<ReportColumn> days = DayColumns(report), columns;
    std::vector<ReportColumn> wanted(std::begin(MONTH_COLUMNS), std::end(MONTH_COLUMNS));
    if (report.hasAttendance) wanted.push_back({"divergence_days", "勤怠と乖離した日数"});
    if (report.hasPeople) wanted.insert(wanted.end(), {{"name", nullptr}, {"department", nullptr}});
    for (ReportColumn column : wanted) {
        // A figure the day rows have too has the same heading in both files.
        for (const ReportColumn& day : days)
            if (column.heading == nullptr && day.key != nullptr && std::string(day.key) == column.key)
                column.heading = day.heading;
        columns.push_back(column);
    }
    return columns;
}

std::vector<Cell> MonthCells(const Report& report, const MonthRow& row)
{
    std::vector<Cell> cells = {
        {CELL_TEXT, 0, 0, row.source},       {CELL_TEXT, 0, 0, row.user},
        {CELL_TEXT, 0, 0, row.place},        {CELL_MONTH, row.month, 0, {}},
        {CELL_COUNT, row.days, 0, {}},       {CELL_COUNT, row.holidayDays, 0, {}},
        {CELL_DURATION, row.spanS, 0, {}},   {CELL_DURATION, row.activeS, 0, {}},
        {CELL_DURATION, row.nightS, 0, {}},  {CELL_COUNT, row.lateDays, 0, {}},
        {CELL_DURATION, row.overtimeS, 0, {}}, {CELL_MONTH_FLAGS, row.flags, 0, {}},
    };
    if (report.hasAttendance) cells.push_back({CELL_COUNT, row.divergenceDays, 0, {}});
    if (report.hasPeople) cells.insert(cells.end(), {{CELL_TEXT, 0, 0, row.name}, {CELL_TEXT, 0, 0, row.department}});
    return cells;
}

bool WriteMonthlyJsonLines(const Report& report, OutputSink& out)
{
    std::vector<ReportColumn> columns = MonthColumns(report);
    for (const MonthRow& row : report.months) AppendJsonObject(out, columns, MonthCells(report, row));
    return FlushSink(out);
}

bool WriteMonthlyCsv(const Report& report, CsvEncoding encoding, OutputSink& sink, size_t* unmappable)
{
    std::vector<ReportColumn> columns = MonthColumns(report);
    return WriteCsvRecords(encoding, sink, unmappable, [&](OutputSink& text) {
        AppendCsvHeadings(text, columns);
        for (const MonthRow& row : report.months) AppendCsvRecord(text, MonthCells(report, row), columns.size());
    });
}

std::string FormatMonthlyCsv(const Report& report, CsvEncoding encoding)
{
    return GatherOutput([&](OutputSink& sink) { WriteMonthlyCsv(report, encoding, sink, nullptr); });
}

std::string FormatMonthlyJsonLines(const Report& report)
{
    return GatherOutput([&](OutputSink& sink) { WriteMonthlyJsonLines(report, sink); });
}
