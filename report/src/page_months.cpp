#include <map>
#include <string>

#include "page.h"

// Each person's months against the overtime limit; a month over it stands out.
void AppendMonths(OutputSink& out, const Report& report, const std::vector<PagePerson>& people)
{
    if (report.months.empty()) return;
    std::map<std::string, size_t> personOf;
    for (size_t p = 0; p < people.size(); ++p) personOf.emplace(report.rows[people[p].begin].source, p);
    size_t over = 0;
    for (const MonthRow& month : report.months) over += (month.flags & MONTH_FLAG_OVER_LIMIT) != 0;
    out += "<section class=\"months\" id=\"months\"><h2>月ごとの集計（上限超え " + std::to_string(over) +
           " 件）</h2>\n<p class=\"meta\">時間外の目安は PC の記録からの見積もりです。勤務日は拘束時間のうち所定"
           "（休憩を含む）を超えた分、休日は拘束時間のすべてを数えます。</p>\n"
           "<div class=\"wide\"><table class=\"summary\"><thead><tr>";
    std::vector<ReportColumn> columns = MonthColumns(report);
    for (const ReportColumn& column : columns) out += std::string("<th>") + column.heading + "</th>";
    out += "</tr></thead><tbody>\n";
    for (const MonthRow& month : report.months) {
        std::vector<Cell> cells = MonthCells(report, month);
        out += (month.flags & MONTH_FLAG_OVER_LIMIT) ? "<tr class=\"over\">" : "<tr>";
        auto person = personOf.find(month.source);
        for (size_t c = 0; c < cells.size() && c < columns.size(); ++c) {
            if (c == 0 && person != personOf.end())
                out += "<td class=\"words\"><a href=\"#" + PersonAnchor(person->second) + "\">" +
                       EscapeHtml(cells[c].text) + "</a>";
            else
                out += FormatPageCell(cells[c]);
        }
        out += "\n";
    }
    out += "</tbody></table></div></section>\n";
}
