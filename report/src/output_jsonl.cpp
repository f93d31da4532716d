#include <string>

#include "civil_time.h"
#include "cp932.h"
#include "outputs.h"

std::string QuoteJsonString(std::string_view text)
{
    static const char HEX[] = "0123456789abcdef";
    std::string valid = MakeValidUtf8(text);
    std::string out;
    out.reserve(valid.size() + 2);
    out += '"';
    for (char c : valid) {
        uint8_t byte = (uint8_t)c;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += HEX[byte >> 4];
                out += HEX[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

static void AppendMember(OutputSink& out, size_t column, const std::string& value)
{
    out += column == 0 ? "{\"" : ",\"";
    out += ReportColumns[column].key;
    out += "\":";
    out += value;
}

bool WriteJsonLines(const Report& report, OutputSink& out)
{
    for (const DayRow& row : report.rows) {
        std::string values[REPORT_COLUMN_COUNT] = {QuoteJsonString(row.source), QuoteJsonString(row.user),
                                                   QuoteJsonString(row.place), QuoteJsonString(FormatDate(row.day))};
        size_t column = FIRST_FIGURE_COLUMN;
        // Real instants here (a day ending at midnight ends at the next date's T00:00:00).
        for (const Figure& figure : RowFigures(row))
            values[column++] = figure.kind == FIGURE_TIME ? QuoteJsonString(FormatIsoTime(figure.value))
                                                          : std::to_string(figure.value);
        // The flags' words are plain ASCII: quoted as they are.
        values[column] = row.flags ? "[\"" + JoinFlagNames(row.flags, DayFlagNames, "\",\"") + "\"]" : "[]";
        for (size_t column = 0; column < REPORT_COLUMN_COUNT; ++column) AppendMember(out, column, values[column]);
        out += "}\n";
    }
    return FlushSink(out);
}

std::string FormatJsonLines(const Report& report)
{
    std::string whole;
    OutputSink sink = StringSink(whole);
    WriteJsonLines(report, sink);
    return whole;
}
