#include <algorithm>
#include <string>
#include <vector>

#include "civil_time.h"
#include "day_holidays.h"
#include "page.h"

// How late a day ended, by the business time of its last active second: by
// 18:00, by 20:00, by 22:00, or in the night.
static const int64_t LATE_EDGES_S[] = {18 * 3600, 20 * 3600, 22 * 3600};

static int LateClass(const DayRow& row)
{
    int64_t last = row.last - row.day * SECONDS_PER_DAY;
    int level = 0;
    for (int64_t edge : LATE_EDGES_S) level += last > edge;
    return level;
}

void AppendProblemDays(OutputSink& out, const Report& report, const std::vector<PagePerson>& people)
{
    size_t count = 0;
    for (const DayRow& row : report.rows) count += row.flags != 0;
    out += "<section class=\"problem-days\" id=\"problem-days\"><h2>確認が必要な日（" + std::to_string(count) +
           " 日）</h2>\n";
    if (count == 0) {
        out += "<p>フラグのある日はありません。</p></section>\n";
        return;
    }
    out += "<ul>\n";
    for (size_t p = 0; p < people.size(); ++p) {
        for (size_t i = people[p].begin; i < people[p].end; ++i) {
            const DayRow& row = report.rows[i];
            if (!row.flags) continue;
            out += "<li><a href=\"#" + DayAnchor(p, row.day) + "\">" + FormatDayLabel(row.day) + " " +
                   PersonLabel(row) + "</a> " + JoinFlagNames(row.flags, DayFlagWords, "、") + "</li>\n";
        }
    }
    out += "</ul></section>\n";
}

static void AppendMonthGrid(OutputSink& out, const Report& report, const std::vector<PagePerson>& people,
                            std::vector<size_t>& next, int64_t monthBegin, int64_t monthEnd)
{
    // The days off: national ones and weekends, and a company's as the rows name them.
    std::vector<std::string> offNames;
    for (int64_t day = monthBegin; day < monthEnd; ++day) offNames.push_back(HolidayName(day, {}));
    for (size_t p = 0; p < people.size(); ++p)
        for (size_t i = next[p]; i < people[p].end && report.rows[i].day < monthEnd; ++i)
            if (offNames[report.rows[i].day - monthBegin].empty())
                offNames[report.rows[i].day - monthBegin] = report.rows[i].holiday;
    CivilDate month = CivilFromDays(monthBegin);
    out += "<table class=\"grid\"><caption>" + std::to_string(month.year) + " 年 " + std::to_string(month.month) +
           " 月</caption><thead><tr><th></th>";
    for (int64_t day = monthBegin; day < monthEnd; ++day) {
        const std::string& dayOff = offNames[day - monthBegin];
        out += (dayOff.empty() ? "<th>" : "<th class=\"off\" title=\"" + EscapeHtml(dayOff) + "\">") +
               std::to_string(day - monthBegin + 1) + "</th>";
    }
    out += "</tr></thead><tbody>\n";
    for (size_t p = 0; p < people.size(); ++p) {
        out += "<tr><th><a href=\"#" + PersonAnchor(p) + "\">" + PersonLabel(report.rows[people[p].begin]) +
               "</a></th>";
        for (int64_t day = monthBegin; day < monthEnd; ++day) {
            std::string classes = offNames[day - monthBegin].empty() ? "" : " off";
            size_t& i = next[p];
            if (i == people[p].end || report.rows[i].day != day) {
                out += classes.empty() ? "<td></td>" : "<td class=\"off\"></td>";
                continue;
            }
            const DayRow& row = report.rows[i++];
            std::string flags = JoinFlagNames(row.flags, DayFlagWords, "、");
            out += "<td class=\"e" + std::to_string(LateClass(row)) + classes + "\"><a href=\"#" +
                   DayAnchor(p, row.day) + "\" title=\"最後 " + FormatBusinessTime(row.last, row.day) +
                   (flags.empty() ? "" : " " + flags) + "\">" + (row.flags ? "!" : "") + "</a></td>";
        }
        out += "</tr>\n";
    }
    out += "</tbody></table>\n";
}

// People down, the days of each month across: one small cell a day, coloured by
// how late it ended, marked when flagged, each a link to the day's bar.
void AppendOverview(OutputSink& out, const Report& report, const std::vector<PagePerson>& people)
{
    if (report.rows.empty()) return;
    int64_t firstDay = report.rows[0].day, lastDay = firstDay;
    for (const DayRow& row : report.rows) firstDay = std::min(firstDay, row.day), lastDay = std::max(lastDay, row.day);
    out += "<section class=\"overview\" id=\"overview\"><h2>日ごとの一覧</h2>\n<p class=\"meta\">最後の使用 "
           "<span class=\"cell e0\"></span>18:00 まで <span class=\"cell e1\"></span>20:00 まで "
           "<span class=\"cell e2\"></span>22:00 まで <span class=\"cell e3\"></span>22:00 より後 ・ "
           "<span class=\"cell\">!</span>フラグのある日 ・ <span class=\"cell off\"></span>土日・祝日</p>\n";
    std::vector<size_t> next;
    for (const PagePerson& person : people) next.push_back(person.begin);
    CivilDate first = CivilFromDays(firstDay);
    for (int year = first.year, month = first.month;; ++month) {
        if (month > 12) month = 1, ++year;
        int64_t begin = DaysFromCivil(year, month, 1);
        if (begin > lastDay) break;
        int64_t end = month == 12 ? DaysFromCivil(year + 1, 1, 1) : DaysFromCivil(year, month + 1, 1);
        AppendMonthGrid(out, report, people, next, begin, end);
    }
    out += "</section>\n";
}
