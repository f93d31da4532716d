// The report's three outputs: JSON Lines, CSV for Excel and one HTML page.
// Every number is formatted by integer code and nothing depends on the clock,
// the locale or the platform, so every build writes identical bytes.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "output_sink.h"
#include "report_model.h"

enum CsvEncoding { CSV_UTF8, CSV_CP932 };

// The columns of a row, in output order: the JSON key and the CSV heading.
struct ReportColumn {
    const char* key;
    const char* heading;
};
constexpr size_t REPORT_COLUMN_COUNT = 20;
extern const ReportColumn ReportColumns[REPORT_COLUMN_COUNT];

// A row's figures from first to heartbeat_s, in column order, each with how it
// is spelt, so that every format lists them from one place.
enum FigureKind { FIGURE_TIME, FIGURE_DURATION, FIGURE_COUNT };
struct Figure {
    FigureKind kind;
    int64_t value;
};
constexpr size_t ROW_FIGURE_COUNT = 15;
constexpr size_t FIRST_FIGURE_COLUMN = 4;
std::array<Figure, ROW_FIGURE_COUNT> RowFigures(const DayRow& row);
// As a person reads it (CSV and the page): times of the business day, h:mm:ss, numbers.
std::string SpellFigure(const Figure& figure, int64_t day);

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

// One self-contained page: a timeline bar per source and day, the figures, the
// problems met in the input.
bool WriteHtml(const Report& report, OutputSink& sink);
std::string FormatHtml(const Report& report);

// The pieces, for the formats and their tests.
// A JSON string literal, quotes included; malformed UTF-8 becomes U+FFFD.
std::string QuoteJsonString(std::string_view text);
// A CSV field: guarded against formulas (' before = + - @) and quoted when it
// holds a comma, a quote, CR or LF.
std::string QuoteCsvField(std::string_view text);
// Text for HTML content and attribute values.
std::string EscapeHtml(std::string_view text);
// The time as hours:mm:ss counted from midnight of the given date, so that a
// business day past midnight reads 25:30:00 and one that ends at midnight 24:00:00.
std::string FormatBusinessTime(CivilSeconds t, int64_t day);
// The words of the flags set, in bit order (names: one per flag, DayFlagNames
// or the page's labels), joined by the separator.
using FlagNames = const char* const[DAY_FLAG_COUNT];
std::string JoinFlagNames(uint32_t flags, const FlagNames& names, std::string_view separator);
