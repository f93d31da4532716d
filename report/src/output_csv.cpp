#include <functional>
#include <string>
#include <vector>

#include "civil_time.h"
#include "cp932.h"
#include "outputs.h"
#include "utf8.h"

static const char* const MONTH_FLAG_WORDS[MONTH_FLAG_COUNT] = {"時間外上限超過"};

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

// Whether a spreadsheet opening the CSV would take the text for a number, a
// date or a time ("00123" becomes 123, "1-2" the 2nd of January).
static bool LooksLikeSpreadsheetValue(std::string_view text)
{
    bool digit = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') digit = true;
        else if (std::string_view(".,:/-% ").find(c) != std::string_view::npos) continue;
        else if ((c == 'e' || c == 'E') && text[0] >= '0' && text[0] <= '9') continue;  // 1e3
        else return false;
    }
    return digit;
}

std::string QuoteCsvText(std::string_view text)
{
    if (text.empty() || !LooksLikeSpreadsheetValue(text) || text[0] == '-' || text[0] == '+')
        return QuoteCsvField(text);
    // ="00123": Excel, and LibreOffice as it evaluates a CSV's formulas by
    // default, show the text as it is; unevaluated it is still text, never a number.
    return "\"=\"\"" + std::string(text) + "\"\"\"";
}

static void AppendRecord(OutputSink& out, const std::vector<std::string>& fields)
{
    for (size_t column = 0; column < fields.size(); ++column) {
        if (column > 0) out += ",";
        out += fields[column];
    }
    out += "\r\n";
}

std::string SpellCsvCell(const Cell& cell)
{
    switch (cell.kind) {
    case CELL_TEXT: return QuoteCsvText(MakeValidUtf8(cell.text));
    case CELL_MONTH: return FormatMonth(static_cast<int>(cell.value));
    case CELL_DATE: return FormatDate(cell.value);
    case CELL_TIME: return FormatBusinessTime(cell.value, cell.day);
    case CELL_DURATION: return FormatDuration(cell.value);
    case CELL_COUNT: return std::to_string(cell.value);
    case CELL_CLOCK: return FormatClock(cell.value);
    case CELL_NONE: return {};
    case CELL_DAY_FLAGS: return JoinFlagNames(static_cast<uint32_t>(cell.value), DayFlagWords, " ");
    case CELL_MONTH_FLAGS:
        return JoinFlagWords(static_cast<uint32_t>(cell.value), MONTH_FLAG_WORDS, MONTH_FLAG_COUNT, " ");
    }
    return {};
}

void AppendCsvHeadings(OutputSink& out, const std::vector<ReportColumn>& columns)
{
    std::vector<std::string> headings;
    for (const ReportColumn& column : columns) headings.push_back(QuoteCsvField(column.heading));
    AppendRecord(out, headings);
}

void AppendCsvRecord(OutputSink& out, const std::vector<Cell>& cells, size_t columnCount)
{
    std::vector<std::string> fields(columnCount);
    for (size_t i = 0; i < cells.size() && i < columnCount; ++i) fields[i] = SpellCsvCell(cells[i]);
    AppendRecord(out, fields);
}

static void AppendRecords(const Report& report, OutputSink& text)
{
    std::vector<ReportColumn> columns = DayColumns(report);
    AppendCsvHeadings(text, columns);
    for (const DayRow& row : report.rows) AppendCsvRecord(text, DayCells(report, row), columns.size());
}

bool WriteCsvRecords(CsvEncoding encoding, OutputSink& sink, size_t* unmappable,
                     const std::function<void(OutputSink&)>& records)
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
        records(text);
        FlushSink(text);
    } else {
        sink += UTF8_MARK;
        records(sink);
    }
    if (unmappable) *unmappable = unmapped;
    return FlushSink(sink);
}

bool WriteCsv(const Report& report, CsvEncoding encoding, OutputSink& sink, size_t* unmappable)
{
    return WriteCsvRecords(encoding, sink, unmappable, [&](OutputSink& text) { AppendRecords(report, text); });
}

std::string FormatCsv(const Report& report, CsvEncoding encoding, size_t* unmappable)
{
    return GatherOutput([&](OutputSink& sink) { WriteCsv(report, encoding, sink, unmappable); });
}
