// CSV files as people hand them over: RFC 4180 (quoted fields, doubled quotes,
// line ends inside quotes), CR LF or LF, UTF-8 with or without a byte-order
// mark or CP932 (what Excel writes as "CSV"); the columns of a header row
// found by any of their names.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Something in a file a person should know about; the caller adds the file's name.
struct LineProblem {
    uint32_t line = 0;     // 1-based; 0 when it concerns the whole file
    std::string message;   // Japanese
};

struct CsvRow {
    uint32_t line = 0;     // where the row begins
    std::vector<std::string> fields;
};

struct CsvRows {
    std::vector<CsvRow> rows;  // rows whose every field is blank left out
    std::vector<LineProblem> problems;
};

// Text as UTF-8: without its byte-order mark; bytes that are not valid UTF-8 are
// read as CP932. *undecodable receives how many CP932 characters could not be read.
std::string DecodeUtf8OrCp932(std::string_view bytes, size_t* undecodable);

// Every row of a file. A quote left open runs to the end of the file: that row
// is left out and named.
CsvRows ReadCsv(std::string_view bytes);

struct CsvColumn {
    std::vector<std::string_view> names;  // as written in the header, ASCII case ignored
    bool required = false;
};

struct CsvTable {
    std::vector<CsvRow> rows;   // the rows after the header
    std::vector<int> columns;   // where each wanted column is in a row, -1 when absent
    std::vector<LineProblem> problems;
};

// The first row that is not blank is the header. Without a required column
// the file gives no rows, and that is named.
CsvTable ReadCsvTable(std::string_view bytes, const std::vector<CsvColumn>& wanted);

// A row's field in a column, trimmed; empty when the column is absent or the row short.
std::string_view CellAt(const CsvRow& row, int column);
