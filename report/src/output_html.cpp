#include <algorithm>
#include <string>

#include "civil_time.h"
#include "cp932.h"
#include "outputs.h"

// The bar's geometry is in seconds: x runs over the 86400 s of a day, y over 24
// units of height, and the browser stretches it. Every coordinate is an integer.
static const int BAR_HEIGHT = 24;
static const int INTERVAL_Y = 4;
static const int INTERVAL_HEIGHT = 16;
static const int64_t LABEL_EVERY_S = 3 * 3600;

static FlagNames FLAG_LABELS = {"異常終了", "二重起動", "時計の逆行", "途切れた行", "不正な行",
                                "勤怠との乖離", "勤怠記録なし", "PC記録なし"};
static const char* const WEEKDAYS[7] = {"日", "月", "火", "水", "木", "金", "土"};

// No request leaves the page: the style is inline and the fonts are the
// reader's own. Printed, the colours stay and a day is never split.
static const char STYLE[] = R"(
:root { --active: #3f9b5a; --locked: #e8a33d; --suspended: #6f93d8; --off: #b4b4b4;
  --start: #1d3557; --exit: #8a3b9c; --abnormal: #d62828; }
* { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { font-family: "Yu Gothic UI", "Meiryo", "Hiragino Sans", "Noto Sans CJK JP", sans-serif;
  color: #1a1a1a; background: #fff; margin: 1.5em; font-size: 14px; }
h1 { font-size: 1.5em; margin: 0 0 .3em; }
h2 { font-size: 1.15em; margin: 1.6em 0 .3em; break-after: avoid; page-break-after: avoid; }
.meta { color: #555; margin: 0 0 .8em; }
.legend ul { list-style: none; padding: 0; margin: .3em 0; display: flex; flex-wrap: wrap; gap: .4em 1.4em; }
.key { display: inline-block; width: 1.6em; height: .9em; vertical-align: -.1em; margin-right: .4em; }
.key-mark { width: 3px; height: 1.2em; vertical-align: -.25em; }
.key-active { background: var(--active); } .key-locked { background: var(--locked); }
.key-suspended { background: var(--suspended); } .key-off { background: var(--off); }
.key-start { background: var(--start); } .key-exit { background: var(--exit); }
.key-abnormal { background: var(--abnormal); width: 4px; }
.timeline { margin: .4em 0 .8em; }
.axis, .day { display: grid; grid-template-columns: 8.5em 1fr 5em; column-gap: .6em; align-items: center; }
.hours { position: relative; height: 1.3em; font-size: .75em; color: #555; }
.hours span { position: absolute; top: 0; transform: translateX(-50%); }
.day { padding: 1px 0; break-inside: avoid; page-break-inside: avoid; }
.date, .total, td.num { white-space: nowrap; font-variant-numeric: tabular-nums; }
.total { text-align: right; }
.bar { display: block; width: 100%; height: 24px; background: #f4f4f4; outline: 1px solid #d8d8d8; }
.bar rect { shape-rendering: crispEdges; }
.s-active { fill: var(--active); } .s-locked { fill: var(--locked); }
.s-suspended { fill: var(--suspended); } .s-off { fill: var(--off); }
.bar line, .ticks { vector-effect: non-scaling-stroke; }
.ticks { fill: none; stroke: #000; stroke-opacity: .14; stroke-width: 1px; pointer-events: none; }
.m-start { stroke: var(--start); stroke-width: 2px; }
.m-exit { stroke: var(--exit); stroke-width: 2px; }
.m-abnormal { stroke: var(--abnormal); stroke-width: 4px; }
.wide { overflow-x: auto; }
table { border-collapse: collapse; font-size: .85em; }
th, td { border: 1px solid #c8c8c8; padding: .2em .45em; text-align: left; vertical-align: top; }
thead th { background: #efefef; white-space: nowrap; }
.summary td:last-child { white-space: nowrap; }
td.num { text-align: right; }
tr { break-inside: avoid; page-break-inside: avoid; }
@page { size: A4 landscape; margin: 10mm; }
@media print { body { margin: 0; font-size: 9pt; } .wide { overflow: visible; } }
)";

std::string EscapeHtml(std::string_view text)
{
    std::string valid = MakeValidUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (char c : valid) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // Control characters are not allowed in a page's text.
            if (((uint8_t)c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
                AppendUtf8(out, REPLACEMENT_CHARACTER);
            else
                out += c;
        }
    }
    return out;
}

// Each state's and mark's class on the page and its words, in enum order.
struct Look {
    const char* cssClass;
    const char* label;
};
static const Look STATE_LOOKS[] = {
    {"s-active", "在席"}, {"s-locked", "ロック中"}, {"s-suspended", "スリープ"}, {"s-off", "オフ"}};
static const Look MARK_LOOKS[] = {
    {"m-start", "起動"}, {"m-exit", "終了"}, {"m-abnormal", "異常終了（終了の記録がないまま起動）"}};

// "PC001/tanaka_log/20261207.txt:12", or a dash when no line is known.
static std::string FormatLinePlace(const DayRow& row, const LineRef& ref)
{
    if (ref.line == 0 || !row.files || ref.file >= row.files->size()) return "—";
    return (*row.files)[ref.file] + ":" + std::to_string(ref.line);
}

// A share of the day as a percentage with three decimals, for CSS positions.
static std::string FormatPercentOfDay(int64_t seconds)
{
    int64_t thousandths = seconds * 100000 / SECONDS_PER_DAY;
    std::string fraction = std::to_string(thousandths % 1000);
    return std::to_string(thousandths / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction + "%";
}

static std::string FormatDayLabel(int64_t day)
{
    int64_t weekday = day - FloorDiv(day, 7) * 7;  // 1970-01-01 was a Thursday
    return FormatDate(day) + "（" + WEEKDAYS[(weekday + 4) % 7] + "）";
}

static void AppendLegend(OutputSink& out)
{
    out += "<section class=\"legend\"><h2>凡例</h2><ul>\n";
    out += "<li><span class=\"key key-active\"></span>在席（ロックされていない）</li>\n";
    out += "<li><span class=\"key key-locked\"></span>ロック中</li>\n";
    out += "<li><span class=\"key key-suspended\"></span>スリープ</li>\n";
    out += "<li><span class=\"key key-off\"></span>オフ（電源断・プログラム停止・記録なし）</li>\n";
    out += "<li><span class=\"key key-mark key-start\"></span>起動</li>\n";
    out += "<li><span class=\"key key-mark key-exit\"></span>終了</li>\n";
    out += "<li><span class=\"key key-mark key-abnormal\"></span>異常終了</li>\n";
    out += "</ul><p class=\"meta\">帯は 1 日の始まりから 24 時間。色は最初と最後の在席の間だけを描き、"
           "時刻は日付の 0 時からの時間（翌日 1 時半は 25:30:00）。</p></section>\n";
}

// Hour labels over the bars, counted like the table's times.
static void AppendAxis(OutputSink& out, CivilSeconds dayStartS)
{
    out += "<div class=\"axis\" aria-hidden=\"true\"><span></span><div class=\"hours\">";
    int64_t firstLabel = (LABEL_EVERY_S - dayStartS % LABEL_EVERY_S) % LABEL_EVERY_S;
    for (int64_t x = firstLabel; x <= SECONDS_PER_DAY; x += LABEL_EVERY_S) {
        out += "<span style=\"left:" + FormatPercentOfDay(x) + "\">" + std::to_string((dayStartS + x) / 3600) +
               "</span>";
    }
    out += "</div><span></span></div>\n";
}

// One path for all the hour ticks keeps a year's page small.
static void AppendTicks(OutputSink& out, CivilSeconds dayStartS)
{
    out += "<path class=\"ticks\" d=\"";
    for (int64_t x = (3600 - dayStartS % 3600) % 3600; x < SECONDS_PER_DAY; x += 3600) {
        if (x == 0) continue;
        out += "M" + std::to_string(x) + " 0v" + std::to_string(BAR_HEIGHT);
    }
    out += "\"/>";
}

static void AppendMark(OutputSink& out, const DayRow& row, const Mark& mark, CivilSeconds dayBegin)
{
    std::string x = std::to_string(std::min(std::max(mark.at - dayBegin, (int64_t)0), SECONDS_PER_DAY));
    out += "<line class=\"" + std::string(MARK_LOOKS[(int)mark.kind].cssClass) + "\" x1=\"" + x + "\" y1=\"0\" x2=\"" + x +
           "\" y2=\"" + std::to_string(BAR_HEIGHT) + "\"><title>" + MARK_LOOKS[(int)mark.kind].label + " " +
           FormatBusinessTime(mark.at, row.day) + "\n" + EscapeHtml(FormatLinePlace(row, mark.where)) +
           "</title></line>";
}

static void AppendDay(OutputSink& out, const DayRow& row, CivilSeconds dayStartS)
{
    CivilSeconds dayBegin = row.day * SECONDS_PER_DAY + dayStartS;
    std::string source = EscapeHtml(row.source);
    std::string date = FormatDate(row.day);
    out += "<div class=\"day\" data-source=\"" + source + "\" data-date=\"" + date + "\" data-active-s=\"" +
           std::to_string(row.activeS) + "\" data-locked-s=\"" + std::to_string(row.lockedS) +
           "\" data-suspended-s=\"" + std::to_string(row.suspendedS) + "\" data-off-s=\"" +
           std::to_string(row.offS) + "\">";
    out += "<span class=\"date\">" + FormatDayLabel(row.day) + "</span>";
    out += "<svg class=\"bar\" viewBox=\"0 0 86400 " + std::to_string(BAR_HEIGHT) +
           "\" preserveAspectRatio=\"none\" role=\"img\" aria-label=\"" + date + " 在席 " +
           FormatDuration(row.activeS) + "\">";
    // Only [first, last) is drawn: that is what the figures count.
    for (const Interval& interval : row.intervals) {
        CivilSeconds begin = std::max({interval.begin, row.first, dayBegin});
        CivilSeconds end = std::min({interval.end, row.last, dayBegin + SECONDS_PER_DAY});
        if (end <= begin) continue;
        out += "<rect class=\"" + std::string(STATE_LOOKS[(int)interval.state].cssClass) + "\" x=\"" +
               std::to_string(begin - dayBegin) + "\" width=\"" + std::to_string(end - begin) + "\" y=\"" +
               std::to_string(INTERVAL_Y) + "\" height=\"" + std::to_string(INTERVAL_HEIGHT) + "\"><title>" +
               STATE_LOOKS[(int)interval.state].label + " " + FormatBusinessTime(begin, row.day) + "–" +
               FormatBusinessTime(end, row.day) + "（" + FormatDuration(end - begin) + "）\n始まり: " +
               EscapeHtml(FormatLinePlace(row, interval.opened)) + "\n終わり: " +
               EscapeHtml(FormatLinePlace(row, interval.closed)) + "</title></rect>";
    }
    AppendTicks(out, dayStartS);
    // Abnormal ends go last, so that the start at the same second does not hide them.
    for (int pass = 0; pass < 2; ++pass) {
        for (const Mark& mark : row.marks) {
            if ((mark.kind == MarkKind::AbnormalEnd) != (pass == 1)) continue;
            AppendMark(out, row, mark, dayBegin);
        }
    }
    out += "</svg><span class=\"total\">" + FormatDuration(row.activeS) + "</span></div>\n";
}


// The table has the columns of the CSV after source, user and place, which
// the section's heading gives.
static void AppendSummaryTable(OutputSink& out, const DayRow* rows, size_t count)
{
    out += "<div class=\"wide\"><table class=\"summary\"><thead><tr>";
    for (size_t column = 3; column < REPORT_COLUMN_COUNT; ++column)
        out += std::string("<th>") + ReportColumns[column].heading + "</th>";
    out += "</tr></thead><tbody>\n";
    for (size_t i = 0; i < count; ++i) {
        const DayRow& row = rows[i];
        out += "<tr><td class=\"date\">" + FormatDayLabel(row.day) + "</td>";
        for (const Figure& figure : RowFigures(row)) out += "<td class=\"num\">" + SpellFigure(figure, row.day) + "</td>";
        out += "<td>" + JoinFlagNames(row.flags, FLAG_LABELS, "、") + "</td></tr>\n";
    }
    out += "</tbody></table></div>\n";
}

static void AppendSource(OutputSink& out, const DayRow* rows, size_t count, CivilSeconds dayStartS)
{
    const DayRow& first = rows[0];
    out += "<section class=\"source\"><h2>" + EscapeHtml(first.source) + "</h2>\n<p class=\"meta\">ユーザー " +
           EscapeHtml(first.user);
    if (!first.place.empty()) out += " ・ 場所 " + EscapeHtml(first.place);
    out += " ・ " + std::to_string(count) + " 日</p>\n<div class=\"timeline\">\n";
    AppendAxis(out, dayStartS);
    for (size_t i = 0; i < count; ++i) AppendDay(out, rows[i], dayStartS);
    out += "</div>\n";
    AppendSummaryTable(out, rows, count);
    out += "</section>\n";
}

static void AppendProblems(OutputSink& out, const std::vector<Problem>& problems)
{
    out += "<section class=\"problems\" id=\"problems\"><h2>入力の問題（" + std::to_string(problems.size()) +
           " 件）</h2>\n";
    if (problems.empty()) {
        out += "<p>読んだファイルに問題はありませんでした。</p></section>\n";
        return;
    }
    out += "<div class=\"wide\"><table><thead><tr><th>ファイル</th><th>行</th><th>内容</th></tr></thead><tbody>\n";
    for (const Problem& problem : problems) {
        out += "<tr><td>" + EscapeHtml(problem.file) + "</td><td class=\"num\">" +
               (problem.line ? std::to_string(problem.line) : std::string()) + "</td><td>" +
               EscapeHtml(problem.message) + "</td></tr>\n";
    }
    out += "</tbody></table></div></section>\n";
}

bool WriteHtml(const Report& report, OutputSink& out)
{
    out += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>在席の記録</title>\n<style>";
    out += STYLE;
    out += "</style>\n</head>\n<body>\n<h1>在席の記録</h1>\n<p class=\"meta\">";
    size_t sources = 0;
    int64_t firstDay = 0, lastDay = 0;
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const DayRow& row = report.rows[i];
        if (i == 0 || row.source != report.rows[i - 1].source) ++sources;
        if (i == 0 || row.day < firstDay) firstDay = row.day;
        if (i == 0 || row.day > lastDay) lastDay = row.day;
    }
    if (report.rows.empty())
        out += "記録のある日はありません。";
    else
        out += "期間 " + FormatDate(firstDay) + " – " + FormatDate(lastDay) + " ・ " + std::to_string(sources) +
               " ソース";
    if (report.dayStartS != 0) {
        std::string dayStart = FormatDuration(report.dayStartS);
        if (report.dayStartS % 60 == 0) dayStart.resize(dayStart.size() - 3);  // 5:00, not 5:00:00
        out += " ・ 1 日の始まり " + dayStart;
    }
    if (!report.problems.empty())
        out += " ・ <a href=\"#problems\">入力の問題 " + std::to_string(report.problems.size()) + " 件</a>";
    out += "</p>\n";
    AppendLegend(out);
    for (size_t begin = 0; begin < report.rows.size();) {
        size_t end = begin + 1;
        while (end < report.rows.size() && report.rows[end].source == report.rows[begin].source) ++end;
        AppendSource(out, &report.rows[begin], end - begin, report.dayStartS);
        begin = end;
    }
    AppendProblems(out, report.problems);
    out += "</body>\n</html>\n";
    return FlushSink(out);
}

std::string FormatHtml(const Report& report)
{
    std::string whole;
    // About what a day takes (its bar and its table row), so that a year's page
    // is not copied from buffer to doubled buffer on its way.
    whole.reserve(16384 + report.rows.size() * 2560);
    OutputSink sink = StringSink(whole);
    WriteHtml(report, sink);
    return whole;
}
