#include <algorithm>
#include <set>
#include <string>

#include "civil_time.h"
#include "cp932.h"
#include "outputs.h"
#include "page.h"
#include "problem_words.h"

// No request leaves the page: the style is inline and the fonts are the
// reader's own. Printed, the colours stay, a day is never split and every page
// of a person's sheet starts with its head.
static const char STYLE[] = R"(
:root { --active: #3f9b5a; --locked: #e8a33d; --suspended: #6f93d8; --off: #b4b4b4;
  --start: #1d3557; --exit: #8a3b9c; --abnormal: #d62828; --night: #dfe3ee; --night-edge: #5b6480;
  --day-off: #fbeaea; --e0: #d9ecd9; --e1: #f3e3a0; --e2: #f0a860; --e3: #b03a48; }
* { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { font-family: "Yu Gothic UI", "Meiryo", "Hiragino Sans", "Noto Sans CJK JP", sans-serif;
  color: #1a1a1a; background: #fff; margin: 1.5em; font-size: 14px; }
h1 { font-size: 1.5em; margin: 0 0 .3em; }
h2 { font-size: 1.15em; margin: 1.2em 0 .3em; break-after: avoid; page-break-after: avoid; }
.meta { color: #555; margin: 0 0 .8em; font-weight: normal; }
.keys { display: inline-flex; flex-wrap: wrap; gap: .2em 1em; margin-left: 1.2em; font-weight: normal; font-size: .85em; }
.key { display: inline-block; width: 1.6em; height: .9em; vertical-align: -.1em; margin-right: .3em; }
.key-mark { width: 3px; height: 1.2em; vertical-align: -.25em; }
.key-active { background: var(--active); } .key-locked { background: var(--locked); }
.key-suspended { background: var(--suspended); } .key-off { background: var(--off); }
.key-night { background: var(--night); }
.key-start { background: var(--start); } .key-exit { background: var(--exit); }
.key-abnormal { background: var(--abnormal); width: 4px; }
.problem-days ul { columns: 26em; margin: .3em 0; padding-left: 1.2em; }
.grid { margin: .3em 0 .8em; font-size: .75em; }
.grid caption { text-align: left; font-weight: bold; padding: .2em 0; }
.grid th, .grid td { padding: 0; min-width: 1.5em; text-align: center; }
.grid tbody th { text-align: left; padding: 0 .5em; white-space: nowrap; }
.grid td a { display: block; height: 1.5em; line-height: 1.5em; color: #fff; font-weight: bold; text-decoration: none; }
.cell { display: inline-block; width: 1.4em; height: 1.1em; text-align: center; vertical-align: -.2em;
  border: 1px solid #c8c8c8; margin-right: .3em; font-weight: bold; }
.e0 { background: var(--e0); } .e1 { background: var(--e1); } .e2 { background: var(--e2); }
.e3 { background: var(--e3); } .off { background-color: var(--day-off); }
.e0 a, .e1 a { color: #b00 !important; }
.person { content-visibility: auto; }
.sheet { width: 100%; table-layout: fixed; border-collapse: collapse; margin: 1em 0; font-size: 1em; }
.c-date { width: 9.5em; } .c-total { width: 5.5em; }
.sheet > * > tr > th, .sheet > * > tr > td { border: 0; padding: 1px .3em; vertical-align: middle; }
.sheet thead th { background: #fff; text-align: left; }
.who { white-space: normal; }
.who h2 { display: inline; margin: 0; }
.day > th { white-space: nowrap; font-weight: normal; text-align: left; }
.day > th small { display: block; color: #a33; font-size: .8em; }
.day { break-inside: avoid; page-break-inside: avoid; }
tr.day.off > th, tr.day.off > td:last-child { background: var(--day-off); }
.day > td:last-child { text-align: right; }
.day > th, .day > td:last-child, .summary td { white-space: nowrap; font-variant-numeric: tabular-nums; }
.hours { position: relative; height: 1.3em; font-size: .75em; color: #555; }
.hours span { position: absolute; top: 0; transform: translateX(-50%); }
.hours .edge { top: auto; bottom: -.1em; color: var(--night-edge); font-weight: bold; }
.hours span:not(.edge) { top: -.1em; }
.line { position: relative; }
.line::after { content: ""; position: absolute; inset: 1px .3em; pointer-events: none; }
.bar { display: block; width: 100%; height: 24px; outline: 1px solid #d8d8d8; }
.bar rect { y: 4px; height: 16px; shape-rendering: crispEdges; }
.s-active { fill: var(--active); } .s-locked { fill: var(--locked); }
.s-suspended { fill: var(--suspended); } .s-off { fill: var(--off); }
.bar line { vector-effect: non-scaling-stroke; }
.m-start { stroke: var(--start); stroke-width: 2px; }
.m-exit { stroke: var(--exit); stroke-width: 2px; }
.m-abnormal { stroke: var(--abnormal); stroke-width: 4px; }
.wide { overflow-x: auto; }
table { border-collapse: collapse; font-size: .85em; }
th, td { border: 1px solid #c8c8c8; padding: .2em .45em; text-align: left; vertical-align: top; }
thead th { background: #efefef; white-space: nowrap; }
.summary tbody th { font-weight: normal; white-space: nowrap; }
.summary td { text-align: right; } .summary td.words { text-align: left; }
.over { background: #f3b8b8; font-weight: bold; }
.months tbody th { font-weight: normal; white-space: nowrap; }
tr { break-inside: avoid; page-break-inside: avoid; }
@page { size: A4 landscape; margin: 10mm; }
@media print { body { margin: 0; font-size: 9pt; } .wide { overflow: visible; }
  .person { content-visibility: visible; break-before: page; } .problems { break-before: page; } }
)";
std::string EscapeHtml(std::string_view text)
{
    std::string valid = MakeValidUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (size_t i = 0; i < valid.size(); ++i) {
        char c = valid[i];
        // C1 controls (U+0080..U+009F, C2 80..C2 9F) are no text either.
        if ((uint8_t)c == 0xC2 && i + 1 < valid.size() && (uint8_t)valid[i + 1] < 0xA0) {
            AppendUtf8(out, REPLACEMENT_CHARACTER);
            ++i;
            continue;
        }
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

static const char* const WEEKDAYS[7] = {"月", "火", "水", "木", "金", "土", "日"};

std::vector<PagePerson> FindPeople(const Report& report)
{
    std::vector<PagePerson> people;
    for (size_t begin = 0; begin < report.rows.size();) {
        size_t end = begin + 1;
        while (end < report.rows.size() && report.rows[end].source == report.rows[begin].source) ++end;
        people.push_back({begin, end});
        begin = end;
    }
    return people;
}

std::string FormatPageCell(const Cell& cell)
{
    // The cells' end tags are optional, and a year has a hundred thousand of them.
    switch (cell.kind) {
    case CELL_DATE: return "<th>" + FormatDayLabel(cell.value);
    case CELL_DAY_FLAGS:
        return "<td class=\"words\">" + JoinFlagNames(static_cast<uint32_t>(cell.value), DayFlagWords, "、");
    case CELL_TEXT: return "<td class=\"words\">" + EscapeHtml(cell.text);
    default: return "<td>" + EscapeHtml(SpellCsvCell(cell));
    }
}

std::string PersonLabel(const DayRow& row) { return EscapeHtml(row.name.empty() ? row.source : row.name); }

std::string FormatDayLabel(int64_t day)
{
    return FormatDate(day) + "（" + WEEKDAYS[IsoWeekday(day) - 1] + "）";
}

std::string PersonAnchor(size_t person) { return "p" + std::to_string(person); }
std::string DayAnchor(size_t person, int64_t day) { return PersonAnchor(person) + "-" + FormatDate(day); }

void AppendLegendKeys(OutputSink& out)
{
    out += "<span class=\"keys\"><span><span class=\"key key-active\"></span>ロック解除中（プログラム動作中）</span>"
           "<span><span class=\"key key-locked\"></span>ロック中</span>"
           "<span><span class=\"key key-suspended\"></span>スリープ</span>"
           "<span><span class=\"key key-off\"></span>記録なし（電源断・プログラム停止・長い無音）</span>"
           "<span><span class=\"key key-night\"></span>深夜 22:00–5:00</span>"
           "<span><span class=\"key key-mark key-start\"></span>起動</span>"
           "<span><span class=\"key key-mark key-exit\"></span>終了</span>"
           "<span><span class=\"key key-mark key-abnormal\"></span>異常終了</span></span>";
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
               EscapeHtml(DescribeProblemInJapanese(problem)) + "</td></tr>\n";
    }
    out += "</tbody></table></div></section>\n";
}

static bool WritePage(const Report& report, OutputSink& out, bool besideFiles)
{
    out += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>PC の使用記録</title>\n<style>";
    out += STYLE;
    std::set<CivilSeconds> dayStarts;
    for (const DayRow& row : report.rows) dayStarts.insert(row.dayStartS);
    for (CivilSeconds dayStartS : dayStarts) AppendAxisStyle(out, dayStartS);
    out += "</style>\n</head>\n<body>\n<h1>PC の使用記録</h1>\n<p class=\"meta\">";
    std::vector<PagePerson> people = FindPeople(report);
    int64_t firstDay = 0, lastDay = 0;
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const DayRow& row = report.rows[i];
        if (i == 0 || row.day < firstDay) firstDay = row.day;
        if (i == 0 || row.day > lastDay) lastDay = row.day;
    }
    if (report.rows.empty())
        out += "記録のある日はありません。";
    else
        out += "期間 " + FormatDate(firstDay) + " – " + FormatDate(lastDay) + " ・ " + std::to_string(people.size()) +
               " 人分（PC のユーザーごと）";
    if (report.dayStartS != 0) {
        std::string dayStart = FormatDuration(report.dayStartS);
        if (report.dayStartS % 60 == 0) dayStart.resize(dayStart.size() - 3);  // 5:00, not 5:00:00
        out += " ・ 1 日の始まり " + dayStart;
    }
    if (!report.problems.empty())
        out += " ・ <a href=\"#problems\">入力の問題 " + std::to_string(report.problems.size()) + " 件</a>";
    if (besideFiles)
        out += " ・ 同じフォルダーの表 <a href=\"report.csv\">日ごと（report.csv）</a>、"
               "<a href=\"monthly.csv\">月ごと（monthly.csv）</a>";
    out += "</p>\n<p class=\"meta\">ロック解除中の時間は、記録するプログラムが動いていて画面がロックされていなかった"
           "時間です。席にいたことまではわかりません。時刻は日付の 0 時からの時間（翌日 1 時半は 25:30:00）。</p>\n";
    AppendProblemDays(out, report, people);
    AppendMonths(out, report, people);
    AppendOverview(out, report, people);
    for (size_t i = 0; i < people.size(); ++i) AppendPerson(out, report, people[i], i);
    AppendProblems(out, report.problems);
    out += "</body>\n</html>\n";
    return FlushSink(out);
}

bool WriteHtml(const Report& report, OutputSink& out) { return WritePage(report, out, false); }

bool WriteHtmlBesideFiles(const Report& report, OutputSink& out) { return WritePage(report, out, true); }

std::string FormatHtml(const Report& report)
{
    // About what a day takes (its bar and its table row), so that a year's page
    // is not copied from buffer to doubled buffer on its way.
    return GatherOutput([&](OutputSink& sink) { WriteHtml(report, sink); }, 16384 + report.rows.size() * 2560);
}
