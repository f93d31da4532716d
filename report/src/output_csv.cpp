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

static void AppendRecord(OutputSink& out, const std::string* fields)
{
    for (size_t column = 0; column < REPORT_COLUMN_COUNT; ++column) {
        if (column > 0) out += ",";
        out += QuoteCsvField(fields[column]);
    }
    out += "\r\n";
}

static void AppendRecords(const Report& report, OutputSink& text)
{
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
}

bool WriteCsv(const Report& report, CsvEncoding encoding, OutputSink& sink, size_t* unmappable)
{
    size_t unmapped = 0;
    if (encoding == CSV_CP932) {
        // The pieces end between characters, so each can be encoded on its own.
        OutputSink text;
        text.write = [&](std::string_view piece) {
            size_t count = 0;
            sink += EncodeCp932(piece, &count);
            unmapped += count;
            return !sink.failed;
        };
        AppendRecords(report, text);
        FlushSink(text);
    } else {
        sink += UTF8_BYTE_ORDER_MARK;
        AppendRecords(report, sink);
    }
    if (unmappable) *unmappable = unmapped;
    return FlushSink(sink);
}

std::string FormatCsv(const Report& report, CsvEncoding encoding, size_t* unmappable)
{
    std::string whole;
    OutputSink sink = StringSink(whole);
    WriteCsv(report, encoding, sink, unmappable);
    return whole;
}
