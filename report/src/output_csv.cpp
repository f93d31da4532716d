#include <string>

#include "civil_time.h"
#include "cp932.h"
#include "outputs.h"

static const char UTF8_BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

std::string QuoteCsvField(std::string_view text)
{
    std::string field;
    // Excel runs a cell that starts like this as a formula, even from a CSV.
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@')) field += '\'';
    field += text;
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

static void AppendRecord(std::string& out, const std::string* fields)
{
    for (size_t column = 0; column < REPORT_COLUMN_COUNT; ++column) {
        if (column > 0) out += ',';
        out += QuoteCsvField(fields[column]);
    }
    out += "\r\n";
}

std::string FormatCsv(const Report& report, CsvEncoding encoding, size_t* unmappable)
{
    std::string text;
    std::string headings[REPORT_COLUMN_COUNT];
    for (size_t column = 0; column < REPORT_COLUMN_COUNT; ++column) headings[column] = ReportColumns[column].heading;
    AppendRecord(text, headings);
    for (const DayRow& row : report.rows) {
        std::string fields[REPORT_COLUMN_COUNT] = {MakeValidUtf8(row.source), MakeValidUtf8(row.user),
                                                   MakeValidUtf8(row.place), FormatDate(row.day)};
        size_t column = FIRST_FIGURE_COLUMN;
        for (const Figure& figure : RowFigures(row)) fields[column++] = SpellFigure(figure, row.day);
        fields[column] = JoinFlagNames(row.flags, DayFlagNames, " ");
        AppendRecord(text, fields);
    }
    if (encoding == CSV_CP932) return EncodeCp932(text, unmappable);
    if (unmappable) *unmappable = 0;
    return UTF8_BYTE_ORDER_MARK + text;
}
