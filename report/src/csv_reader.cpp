#include "csv_reader.h"

#include <algorithm>

#include "cell_values.h"
#include "cp932.h"
#include "utf8.h"

namespace {

bool IsValidUtf8(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size())
        if (ReadCodePoint(text, &pos) == MALFORMED_UTF8) return false;
    return true;
}

bool IsBlank(const CsvRow& row)
{
    return std::all_of(row.fields.begin(), row.fields.end(),
                       [](const std::string& field) { return TrimCell(field).empty(); });
}

bool SameName(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

int FindColumn(const CsvRow& header, const CsvColumn& column)
{
    for (size_t i = 0; i < header.fields.size(); ++i)
        for (std::string_view name : column.names)
            if (SameName(TrimCell(header.fields[i]), name)) return (int)i;
    return -1;
}

std::string DescribeColumn(const CsvColumn& column)
{
    std::string text;
    for (std::string_view name : column.names) {
        if (!text.empty()) text += "または";
        text += "「" + std::string(name) + "」";
    }
    return text;
}

}  // namespace

std::string DecodeUtf8OrCp932(std::string_view bytes, size_t* undecodable)
{
    if (undecodable) *undecodable = 0;
    if (bytes.substr(0, UTF8_MARK.size()) == UTF8_MARK) bytes.remove_prefix(UTF8_MARK.size());
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return DecodeCp932(bytes, undecodable);
}

CsvRows ReadCsv(std::string_view bytes)
{
    size_t undecodable = 0;
    const std::string text = DecodeUtf8OrCp932(bytes, &undecodable);
    CsvRows result;
    if (undecodable)
        result.problems.push_back({0, "UTF-8 でも CP932 でも読めない文字が " + std::to_string(undecodable) + " 個あります"});

    CsvRow row;
    std::string field;
    uint32_t line = 1;
    row.line = 1;
    bool quoted = false;      // inside a quoted field
    auto endRow = [&] {
        row.fields.push_back(std::move(field));
        field.clear();
        if (!IsBlank(row)) result.rows.push_back(std::move(row));
        row = CsvRow();
        row.line = line;
    };
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i++];
        if (quoted) {
            if (c == '"' && i < text.size() && text[i] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++line;
                field += c;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == ',') {
            row.fields.push_back(std::move(field));
            field.clear();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i < text.size() && text[i] == '\n') ++i;
            ++line;
            endRow();
        } else {
            // A stray quote inside a field is taken as written, as spreadsheets do.
            field += c;
        }
    }
    if (quoted) {
        result.problems.push_back({row.line, "引用符 \" が閉じられないまま、ファイルが終わっています"});
    } else if (!field.empty() || !row.fields.empty()) {
        endRow();
    }
    return result;
}

CsvTable ReadCsvTable(std::string_view bytes, const std::vector<CsvColumn>& wanted)
{
    CsvRows read = ReadCsv(bytes);
    CsvTable table;
    table.problems = std::move(read.problems);
    table.columns.assign(wanted.size(), -1);
    if (read.rows.empty()) {
        table.problems.push_back({0, "見出しの行がありません"});
        return table;
    }
    const CsvRow& header = read.rows.front();
    bool complete = true;
    for (size_t k = 0; k < wanted.size(); ++k) {
        table.columns[k] = FindColumn(header, wanted[k]);
        if (table.columns[k] < 0 && wanted[k].required) {
            table.problems.push_back({header.line, "見出しに" + DescribeColumn(wanted[k]) + "の列がありません"});
            complete = false;
        }
    }
    if (complete) table.rows.assign(std::make_move_iterator(read.rows.begin() + 1),
                                    std::make_move_iterator(read.rows.end()));
    return table;
}

std::string_view CellAt(const CsvRow& row, int column)
{
    if (column < 0 || (size_t)column >= row.fields.size()) return {};
    return TrimCell(row.fields[column]);
}
