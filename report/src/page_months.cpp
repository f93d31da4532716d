#include <algorithm>
#include <map>
#include <string>

#include "civil_time.h"
#include "page.h"

static std::string FormatMonthHeading(int month)
{
    return std::to_string(month / 12) + " 年 " + std::to_string(month % 12 + 1) + " 月";
}

// People down, months across: each month's overtime estimate, a month over the
// limit coloured, its other figures on the cell's title. The full table is monthly.csv.
void AppendMonths(OutputSink& out, const Report& report, const std::vector<PagePerson>& people)
{
    if (report.months.empty()) return;
    int firstMonth = report.months[0].month, lastMonth = firstMonth;
    size_t over = 0;
    std::map<std::string, std::vector<const MonthRow*>> monthsOf;
    for (const MonthRow& month : report.months) {
        firstMonth = std::min(firstMonth, month.month), lastMonth = std::max(lastMonth, month.month);
        over += (month.flags & MONTH_FLAG_OVER_LIMIT) != 0;
        monthsOf[month.source].push_back(&month);
    }
    out += "<section class=\"months\" id=\"months\"><h2>月ごとの時間外の目安（上限超え " + std::to_string(over) +
           " 件）</h2>\n<p class=\"meta\">PC の記録からの見積もりです。勤務日は拘束時間のうち所定（休憩を含む）を"
           "超えた分、休日は拘束時間のすべてを数えます。<span class=\"cell over\"></span>上限超え</p>\n"
           "<div class=\"wide\"><table class=\"summary months\"><thead><tr><th></th>";
    for (int month = firstMonth; month <= lastMonth; ++month) out += "<th>" + FormatMonthHeading(month) + "</th>";
    out += "</tr></thead><tbody>\n";
    for (size_t p = 0; p < people.size(); ++p) {
        const std::string& source = report.rows[people[p].begin].source;
        out += "<tr><th><a href=\"#" + PersonAnchor(p) + "\">" + PersonLabel(report.rows[people[p].begin]) + "</a>";
        auto found = monthsOf.find(source);
        size_t next = 0;
        for (int month = firstMonth; month <= lastMonth; ++month) {
            const MonthRow* row = nullptr;
            if (found != monthsOf.end() && next < found->second.size() && found->second[next]->month == month)
                row = found->second[next++];
            if (!row) {
                out += "<td>";
                continue;
            }
            // The cells' end tags are optional, as in the sheets' figures.
            out += std::string((row->flags & MONTH_FLAG_OVER_LIMIT) ? "<td class=\"over\"" : "<td") + " title=\"" +
                   std::to_string(row->days) + " 日（休日 " + std::to_string(row->holidayDays) + " 日）・22 時以降 " +
                   std::to_string(row->lateDays) + " 日・深夜 " + FormatDuration(row->nightS) + "\">" +
                   FormatDuration(row->overtimeS);
        }
        out += "\n";
    }
    out += "</tbody></table></div></section>\n";
}
