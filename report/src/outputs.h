// The report's three outputs: JSON Lines, CSV for Excel and one HTML page.
// Every number is formatted by integer code and nothing depends on the clock,
// the locale or the platform, so every build writes identical bytes.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "output_sink.h"
#include "report_model.h"

enum CsvEncoding { CSV_UTF8, CSV_CP932 };

// The columns of a row, in output order: the JSON key and the CSV heading; a
// column without a key is the CSV's alone.
struct ReportColumn {
    const char* key;
    const char* heading;
};
// A day row's columns from source to flags, which every output has.
constexpr size_t REPORT_COLUMN_COUNT = 20;
extern const ReportColumn ReportColumns[REPORT_COLUMN_COUNT];

// One value of a row, as the formats spell it: CSV for a person, JSON for a program.
enum CellKind : uint8_t {
    CELL_TEXT,        // text as it is
    CELL_MONTH,       // value: MonthIndex, YYYY-MM
    CELL_DATE,        // value: days since 1970-01-01
    CELL_TIME,        // value: an instant, spelt in the CSV from midnight of `day`
    CELL_DURATION,    // value: seconds; h:mm:ss in the CSV, a number in JSON
    CELL_COUNT,       // value: a number
    CELL_CLOCK,       // value: seconds from midnight, HH:MM:SS in both
    CELL_NONE,        // nothing known: an empty cell, JSON null
    CELL_DAY_FLAGS,   // value: DayFlag bits
    CELL_MONTH_FLAGS, // value: MonthFlag bits
};
struct Cell {
    CellKind kind = CELL_TEXT;
    int64_t value = 0;
    int64_t day = 0;
    std::string text;
};

// The day rows' columns and cells, with those the report's options add.
std::vector<ReportColumn> DayColumns(const Report& report);
std::vector<Cell> DayCells(const Report& report, const DayRow& row);

// The month rows' columns and cells.
std::vector<ReportColumn> MonthColumns(const Report& report);
std::vector<Cell> MonthCells(const Report& report, const MonthRow& row);

// Each format is written into a sink as it is formatted, and flushed; false if
// the sink could not take all of it. Format* give the same bytes whole.

// One object per row, LF after each; UTF-8 without a byte-order mark.
bool WriteJsonLines(const Report& report, OutputSink& sink);
std::string FormatJsonLines(const Report& report);

// RFC 4180 with CR LF, Japanese headings. CSV_UTF8 starts with a byte-order
// mark (Japanese Excel reads a file without one as CP932). With CSV_CP932,
// *unmappable (when given) receives how many characters became '?'.
bool WriteCsv(const Report& report, CsvEncoding encoding, OutputSink& sink, size_t* unmappable);
std::string FormatCsv(const Report& report, CsvEncoding encoding, size_t* unmappable);

// The month rows, as the day rows are written.
bool WriteMonthlyJsonLines(const Report& report, OutputSink& sink);
bool WriteMonthlyCsv(const Report& report, CsvEncoding encoding, OutputSink& sink, size_t* unmappable);
std::string FormatMonthlyCsv(const Report& report, CsvEncoding encoding);
std::string FormatMonthlyJsonLines(const Report& report);

// One self-contained page: a timeline bar per source and day, the figures, the
// problems met in the input.
bool WriteHtml(const Report& report, OutputSink& sink);
// The same, written with the CSV files beside it (--out), which it links to.
bool WriteHtmlBesideFiles(const Report& report, OutputSink& sink);
std::string FormatHtml(const Report& report);

// The pieces, for the formats and their tests.
// A MonthIndex as YYYY-MM.
std::string FormatMonth(int month);
// Seconds from midnight as HH:MM:SS, zero-padded, past 24 for a night shift ("09:05:00", "26:30:00").
std::string FormatClock(int64_t seconds);
// A cell as the CSV spells it (the page too, but for the flags' words).
std::string SpellCsvCell(const Cell& cell);
// A CSV's heading record and one record of cells (as many fields as columns).
void AppendCsvHeadings(OutputSink& out, const std::vector<ReportColumn>& columns);
void AppendCsvRecord(OutputSink& out, const std::vector<Cell>& cells, size_t columnCount);
// The mark (UTF-8) or the encoding (CP932) around the records a function appends.
bool WriteCsvRecords(CsvEncoding encoding, OutputSink& sink, size_t* unmappable,
                     const std::function<void(OutputSink&)>& records);
// One JSON object of the columns that have a key, and LF.
void AppendJsonObject(OutputSink& out, const std::vector<ReportColumn>& columns, const std::vector<Cell>& cells);
// A JSON string literal, quotes included; malformed UTF-8 becomes U+FFFD.
std::string QuoteJsonString(std::string_view text);
// A CSV field: guarded against formulas (' before = + - @) and quoted when it
// holds a comma, a quote, CR or LF.
std::string QuoteCsvField(std::string_view text);
// A text cell: as QuoteCsvField, but text a spreadsheet would read as a number
// or a date ("00123", "1-2") written as a formula giving the text, ="00123".
std::string QuoteCsvText(std::string_view text);
// Text for HTML content and attribute values.
std::string EscapeHtml(std::string_view text);
// The time as hours:mm:ss counted from midnight of the given date, so that a
// business day past midnight reads 25:30:00 and one that ends at midnight 24:00:00.
std::string FormatBusinessTime(CivilSeconds t, int64_t day);
// The words of the flags set, in bit order (names: one per flag, DayFlagNames
// or the page's labels), joined by the separator.
using FlagNames = const char* const[DAY_FLAG_COUNT];
// The flags as a person reads them, in the CSV.
extern FlagNames DayFlagWords;
std::string JoinFlagNames(uint32_t flags, const FlagNames& names, std::string_view separator);
// The same over any list of words, one per bit from the lowest.
std::string JoinFlagWords(uint32_t flags, const char* const* names, size_t count, std::string_view separator);
