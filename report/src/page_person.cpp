#include <algorithm>
#include <string>

#include "civil_time.h"
#include "page.h"

// The bar's geometry is in seconds: x runs over the 86400 s of a day, y over 24
// units of height (set by the style), and the browser stretches it. Every
// coordinate is an integer.
static const int BAR_HEIGHT = 24;

// Each state's and mark's class on the page and its words, in enum order.
struct Look {
    const char* cssClass;
    const char* label;
};
static const Look STATE_LOOKS[] = {
    {"s-active", "ロック解除中"}, {"s-locked", "ロック中"}, {"s-suspended", "スリープ"}, {"s-off", "記録なし"}};
static const Look MARK_LOOKS[] = {
    {"m-start", "起動"}, {"m-exit", "終了"}, {"m-abnormal", "異常終了（終了の記録がないまま起動）"}};

// "20261207.txt:12" within the person's own folder, "PC001/tanaka_log/20261207.txt:12"
// for another's (a merged user's), or a dash when no line is known.
static std::string FormatLinePlace(const DayRow& row, const LineRef& ref)
{
    if (ref.line == 0 || !row.files || ref.file >= row.files->size()) return "—";
    std::string_view name = (*row.files)[ref.file];
    if (name.size() > row.source.size() && name.compare(0, row.source.size(), row.source) == 0 &&
        name[row.source.size()] == '/')
        name.remove_prefix(row.source.size() + 1);
    return EscapeHtml(name) + ":" + std::to_string(ref.line);
}

// Whether the line is in the file of the row's own date, which goes without saying.
static bool InOwnFile(const DayRow& row, const LineRef& ref)
{
    if (ref.line == 0 || !row.files || ref.file >= row.files->size()) return false;
    std::string date = FormatDate(row.day), own = date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2) + ".txt";
    const std::string& name = (*row.files)[ref.file];
    return name.size() > own.size() && name.compare(name.size() - own.size(), own.size(), own) == 0 &&
           name[name.size() - own.size() - 1] == '/';
}

// The lines a stretch runs between: "行 12–40" in the day's own file, else each with its file.
static std::string FormatLineSpan(const DayRow& row, const LineRef& from, const LineRef& to)
{
    if (InOwnFile(row, from) && InOwnFile(row, to))
        return "行 " + std::to_string(from.line) + "–" + std::to_string(to.line);
    return FormatLinePlace(row, from) + " – " + FormatLinePlace(row, to);
}

static void AppendMark(OutputSink& out, const DayRow& row, const Mark& mark, CivilSeconds dayBegin)
{
    std::string x = std::to_string(std::min(std::max(mark.at - dayBegin, (int64_t)0), SECONDS_PER_DAY));
    out += "<line class=\"" + std::string(MARK_LOOKS[(int)mark.kind].cssClass) + "\" x1=\"" + x + "\" y1=\"0\" x2=\"" + x +
           "\" y2=\"" + std::to_string(BAR_HEIGHT) + "\"><title>" + MARK_LOOKS[(int)mark.kind].label + " " +
           FormatBusinessTime(mark.at, row.day) + "\n" +
           (InOwnFile(row, mark.where) ? "行 " + std::to_string(mark.where.line) : FormatLinePlace(row, mark.where)) +
           "</title></line>";
}

static void AppendBar(OutputSink& out, const DayRow& row, CivilSeconds dayStartS)
{
    CivilSeconds dayBegin = row.day * SECONDS_PER_DAY + dayStartS;
    out += "<td class=\"line\"><svg class=\"bar\" viewBox=\"0 0 86400 " + std::to_string(BAR_HEIGHT) +
           "\" preserveAspectRatio=\"none\" aria-hidden=\"true\">";  // the total beside it and the figures say it in words
    // Only [first, last) is drawn: that is what the figures count.
    for (const Interval& interval : row.intervals) {
        CivilSeconds begin = std::max({interval.begin, row.first, dayBegin});
        CivilSeconds end = std::min({interval.end, row.last, dayBegin + SECONDS_PER_DAY});
        if (end <= begin) continue;
        // Unquoted values and no duration: a year's page holds a hundred thousand of these.
        out += "<rect class=" + std::string(STATE_LOOKS[(int)interval.state].cssClass) + " x=" +
               std::to_string(begin - dayBegin) + " width=" + std::to_string(end - begin) + "><title>" +
               FormatBusinessTime(begin, row.day) + "–" + FormatBusinessTime(end, row.day) + " " +
               STATE_LOOKS[(int)interval.state].label + "\n" + FormatLineSpan(row, interval.opened, interval.closed) +
               "</title></rect>";
    }
    // Abnormal ends go last, so that the start at the same second does not hide them.
    for (int pass = 0; pass < 2; ++pass) {
        for (const Mark& mark : row.marks) {
            if ((mark.kind == MarkKind::AbnormalEnd) != (pass == 1)) continue;
            AppendMark(out, row, mark, dayBegin);
        }
    }
    out += "</svg></td>";
}

static void AppendDay(OutputSink& out, const DayRow& row, size_t person, CivilSeconds dayStartS)
{
    const std::string& dayOff = row.holiday;
    out += "<tr class=\"day" + std::string(dayOff.empty() ? "" : " off") + "\" id=\"" + DayAnchor(person, row.day) +
           "\" data-source=\"" + EscapeHtml(row.source) + "\" data-date=\"" + FormatDate(row.day) +
           "\" data-active-s=\"" + std::to_string(row.activeS) + "\" data-locked-s=\"" + std::to_string(row.lockedS) +
           "\" data-suspended-s=\"" + std::to_string(row.suspendedS) + "\" data-off-s=\"" +
           std::to_string(row.offS) + "\"><th>" + FormatDayLabel(row.day);
    if (!dayOff.empty()) out += "<small>" + EscapeHtml(dayOff) + "</small>";
    out += "</th>";
    AppendBar(out, row, dayStartS);
    out += "<td>" + FormatDuration(row.activeS) + "</td></tr>\n";
}

// The columns of the CSV after source, user and place, which the sheet's head
// gives, but the weekday, which the date gives.
static void AppendFigures(OutputSink& out, const Report& report, const DayRow* rows, size_t count)
{
    std::vector<ReportColumn> columns = DayColumns(report);
    std::vector<bool> shown(columns.size());
    for (size_t c = 3; c < columns.size(); ++c)
        shown[c] = columns[c].key != nullptr && std::string_view(columns[c].key) != "weekday";
    out += "<tbody class=\"figures\"><tr><td colspan=\"3\"><div class=\"wide\"><table class=\"summary\"><thead><tr>";
    for (size_t c = 0; c < columns.size(); ++c)
        if (shown[c]) out += std::string("<th>") + columns[c].heading + "</th>";
    out += "</tr></thead><tbody>\n";
    for (size_t i = 0; i < count; ++i) {
        const DayRow& row = rows[i];
        std::vector<Cell> cells = DayCells(report, row);
        out += "<tr>";
        for (size_t c = 0; c < cells.size() && c < columns.size(); ++c)
            if (shown[c]) out += FormatPageCell(cells[c]);
        out += "\n";
    }
    out += "</tbody></table></div></td></tr></tbody>\n";
}

// A sheet per person: its head (who, the colours' key and the hour axis) is
// repeated at the top of every printed page the sheet runs over.
void AppendPerson(OutputSink& out, const Report& report, const PagePerson& person, size_t index)
{
    const DayRow* rows = &report.rows[person.begin];
    size_t count = person.end - person.begin;
    const DayRow& first = rows[0];
    // About its drawn height, so that the scroll bar is right before it is drawn.
    size_t height = 140 + count * 52;
    out += "<section class=\"person " + DayStartClass(first.dayStartS) + "\" id=\"" + PersonAnchor(index) + "\" style=\"contain-intrinsic-size:auto " +
           std::to_string(height) + "px\">\n<table class=\"sheet\"><colgroup><col class=\"c-date\"><col><col class=\"c-total\"></colgroup><thead><tr><th colspan=\"3\" class=\"who\"><h2>" +
           PersonLabel(first) + "</h2> <span class=\"meta\">";
    if (!first.name.empty()) out += "ログフォルダー " + EscapeHtml(first.source) + " ・ ";
    out += "ユーザー " + EscapeHtml(first.user);
    if (!first.department.empty()) out += " ・ 部署 " + EscapeHtml(first.department);
    if (!first.place.empty()) out += " ・ PC " + EscapeHtml(first.place);
    out += " ・ " + std::to_string(count) + " 日</span>";
    AppendLegendKeys(out);
    out += "</th></tr>\n<tr class=\"axis\"><th></th><th>";
    AppendAxisLabels(out, first.dayStartS);
    out += "</th><th></th></tr></thead>\n<tbody>\n";
    for (size_t i = 0; i < count; ++i) AppendDay(out, rows[i], index, rows[i].dayStartS);
    out += "</tbody>\n";
    AppendFigures(out, report, rows, count);
    out += "</table></section>\n";
}
