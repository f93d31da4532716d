#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cp932.h"
#include "csv_reader.h"

namespace {

// Each row as "line:field|field", each problem as "line".
std::string Shape(const std::vector<CsvRow>& rows, const std::vector<LineProblem>& problems)
{
    std::string shape;
    for (const CsvRow& row : rows) {
        shape += std::to_string(row.line) + ":";
        for (size_t i = 0; i < row.fields.size(); ++i) shape += (i ? "|" : "") + row.fields[i];
        shape += " ";
    }
    for (const LineProblem& p : problems) shape += "!" + std::to_string(p.line);
    return shape;
}

}  // namespace

TEST(CsvReader, QuotesLineEndsAndEncodings)
{
    struct Row {
        const char* name;
        std::string bytes;
        const char* shape;
    };
    const Row rows[] = {
        {"LF, no end on the last line", "a,b\nc,d", "1:a|b 2:c|d "},
        {"CR LF, a mark, blank lines left out", "\xEF\xBB\xBF" "a,b\r\n\r\n,\r\nc,\r\n", "1:a|b 4:c| "},
        {"quotes, doubled quotes, a comma and a line end inside",
         "\"x,\"\"y\"\"\",\"two\r\nlines\"\nnext\n", "1:x,\"y\"|two\r\nlines 3:next "},
        {"a stray quote is kept as written", "ab\"c,\"\"\n", "1:ab\"c| "},
        {"a quote left open names its row", "a\n\"b,c\nd\n", "1:a !2"},
        {"CP932 when not UTF-8", EncodeCp932("元日,ｱ\n", nullptr), "1:元日|ｱ "},
        {"a pair outside the table and a cut lead byte", "\x87\x9A,\x82\n\x81", "1:\xEF\xBF\xBD|\xEF\xBF\xBD 2:\xEF\xBF\xBD !0"},
        {"Latin-1 is no UTF-8: read as CP932, each byte named", "caf\xE9\n", "1:caf\xEF\xBF\xBD !0"},
    };
    for (const Row& r : rows) {
        CsvRows read = ReadCsv(r.bytes);
        EXPECT_EQ(Shape(read.rows, read.problems), r.shape) << r.name;
    }
}

TEST(CsvReader, HeaderColumnsByAnyName)
{
    const std::vector<CsvColumn> wanted = {{{"ユーザー", "user"}, true}, {{"氏名", "name"}, false}};
    struct Row {
        const char* bytes;
        std::vector<int> columns;
        const char* shape;
    };
    const Row rows[] = {
        {"\nextra, User ,x\nu1,,y\n", {1, -1}, "3:u1||y "},
        {"氏名,ユーザー\n", {1, 0}, ""},
        {"name,who\nu1,x\n", {-1, 0}, "!1"},
        {"", {-1, -1}, "!0"},
    };
    for (const Row& r : rows) {
        CsvTable table = ReadCsvTable(r.bytes, wanted);
        EXPECT_EQ(table.columns, r.columns) << r.bytes;
        EXPECT_EQ(Shape(table.rows, table.problems), r.shape) << r.bytes;
    }
    CsvRow row{1, {" a ", "b"}};
    EXPECT_EQ(CellAt(row, 0), "a");
    EXPECT_EQ(CellAt(row, 2), "");
    EXPECT_EQ(CellAt(row, -1), "");
}
