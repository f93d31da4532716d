#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "attendance.h"
#include "civil_time.h"
#include "company_holidays.h"
#include "cp932.h"
#include "csv_reader.h"
#include "people.h"
#include "problem_checks.h"

// The files a person hands the report beside the logs: each read shown as one
// string of what was taken, then "!line" for each problem named.
namespace {

// Each row as "line:field|field ".
std::string Shape(const std::vector<CsvRow>& rows)
{
    std::string shape;
    for (const CsvRow& row : rows) {
        shape += std::to_string(row.line) + ":";
        for (size_t i = 0; i < row.fields.size(); ++i) shape += (i ? "|" : "") + row.fields[i];
        shape += " ";
    }
    return shape;
}

std::string ReadAsCsv(const std::string& bytes)
{
    CsvRows read = ReadCsv(bytes);
    return Shape(read.rows) + Shown(read.problems);
}

// Each day as "date name;".
std::string ReadAsHolidays(const std::string& bytes)
{
    CompanyHolidays holidays = ReadCompanyHolidays(bytes);
    std::string read;
    for (const CompanyHoliday& h : holidays.days) read += FormatDate(h.day) + " " + h.name + ";";
    return read + Shown(holidays.problems);
}

// Each day as "user date start-end;", "-" for a missing time.
std::string ReadAsAttendance(const std::string& bytes)
{
    auto clock = [](bool has, int64_t seconds) { return has ? FormatDuration(seconds) : std::string("-"); };
    Attendance attendance = ReadAttendance(bytes);
    std::string read;
    for (const ClockedDay& d : attendance.days)
        read += d.user + " " + FormatDate(d.day) + " " + clock(d.hasStart, d.startS) + "-" + clock(d.hasEnd, d.endS) +
                ";";
    return read + Shown(attendance.problems);
}

// The columns found ("1,-1,") of a table wanting ユーザー or user (required) and 氏名
// or name, then its rows.
std::string ReadAsTable(const std::string& bytes)
{
    CsvTable table = ReadCsvTable(bytes, {{{"ユーザー", "user"}, true}, {{"氏名", "name"}, false}});
    std::string read;
    for (int column : table.columns) read += std::to_string(column) + ",";
    return read + " " + Shape(table.rows) + Shown(table.problems);
}

// Each person as "user/name/department/day start;".
std::string ReadAsPeople(const std::string& bytes)
{
    People people = ReadPeople(bytes);
    std::string read;
    for (const Person& p : people.people)
        read += p.user + "/" + p.name + "/" + p.department + "/" +
                (p.hasDayStart ? std::to_string(p.dayStartS) : "-") + ";";
    return read + Shown(people.problems);
}

}  // namespace

TEST(InputFiles, EachReadersTake)
{
    const struct {
        std::string (*read)(const std::string&);
        const char* name;
        std::string bytes;
        const char* taken;
    } rows[] = {
        // Any CSV: quotes, line ends and encodings.
        {ReadAsCsv, "LF, no end on the last line", "a,b\nc,d", "1:a|b 2:c|d "},
        {ReadAsCsv, "CR LF, a mark, blank lines left out", "\xEF\xBB\xBF" "a,b\r\n\r\n,\r\nc,\r\n", "1:a|b 4:c| "},
        {ReadAsCsv, "quotes, doubled quotes, a comma and a line end inside",
         "\"x,\"\"y\"\"\",\"two\r\nlines\"\nnext\n", "1:x,\"y\"|two\r\nlines 3:next "},
        {ReadAsCsv, "a stray quote is kept as written", "ab\"c,\"\"\n", "1:ab\"c| "},
        {ReadAsCsv, "a quote left open names its row", "a\n\"b,c\nd\n", "1:a !2"},
        {ReadAsCsv, "CP932 when not UTF-8", EncodeCp932("元日,ｱ\n", nullptr), "1:元日|ｱ "},
        {ReadAsCsv, "a pair outside the table and a cut lead byte", "\x87\x9A,\x82\n\x81",
         "1:\xEF\xBF\xBD|\xEF\xBF\xBD 2:\xEF\xBF\xBD !0"},
        {ReadAsCsv, "Latin-1 is no UTF-8: read as CP932, each byte named", "caf\xE9\n", "1:caf\xEF\xBF\xBD !0"},
        // Any table's headings: the first line not blank, each column by any of its names.
        {ReadAsTable, "in any case, spaces around; an optional column may be missing", "\nextra, User ,x\nu1,,y\n",
         "1,-1, 3:u1||y "},
        {ReadAsTable, "in any order, by either name", "氏名,ユーザー\n", "1,0, "},
        {ReadAsTable, "without the required column nothing is read", "name,who\nu1,x\n", "-1,0, !1"},
        {ReadAsTable, "an empty file", "", "-1,-1, !0"},
        // The company's days off.
        {ReadAsHolidays, "plain dates, both forms, a name or none, in any order",
         "2026/8/14,夏季休業\n2026-08-13\n\n", "2026-08-13 ;2026-08-14 夏季休業;"},
        {ReadAsHolidays, "the government's list as downloaded",
         EncodeCp932("国民の祝日・休日月日,国民の祝日・休日名称\r\n", nullptr) + "2026/1/1,\x8C\xB3\x93\xFA\r\n",
         "2026-01-01 元日;"},
        {ReadAsHolidays, "UTF-8 with a mark; a date twice keeps its first name",
         "\xEF\xBB\xBF" "2026/12/29,年末\n2026/12/29,休業\n", "2026-12-29 年末;"},
        {ReadAsHolidays, "a first line with digits is no header; bad dates are named",
         "2026-13-01\n2026/2/30,x\nholiday\n26/1/5\n2026-01-05,ok\n", "2026-01-05 ok;!1!2!3!4"},
        // The clocked times.
        {ReadAsAttendance, "UTF-8 with a mark, English headings, other columns ignored, both date forms",
         "\xEF\xBB\xBF" "note,user,date,start,end\r\nx,tanaka,2026-12-07,8:30,17:45:30\r\n,tanaka,2026/12/8,09:05,18:00\r\n",
         "tanaka 2026-12-07 8:30:00-17:45:30;tanaka 2026-12-08 9:05:00-18:00:00;"},
        {ReadAsAttendance, "CP932 from Excel, Japanese headings, a night shift past 24:00",
         EncodeCp932("ユーザー,日付,出勤,退勤\r\n佐藤,2026/12/7,22:00,30:15\r\n", nullptr),
         "佐藤 2026-12-07 22:00:00-30:15:00;"},
        {ReadAsAttendance, "a missing clock-in or clock-out stays missing; a row with neither says nothing",
         "user,date,start,end\nb,2026-12-07,,18:00\na,2026-12-07,9:00,\nc,2026-12-07,,\n",
         "a 2026-12-07 9:00:00--;b 2026-12-07 --18:00:00;"},
        {ReadAsAttendance, "two rows of one day span from the earliest start to the latest end",
         "user,date,start,end\na,2026-12-07,13:00,19:00\na,2026-12-07,8:00,12:00\na,2026-12-07,,\n",
         "a 2026-12-07 8:00:00-19:00:00;"},
        {ReadAsAttendance, "unreadable rows are named and the rest used",
         "user,date,start,end\n,2026-12-07,9:00,18:00\na,2026-12-32,9:00,18:00\na,2026-12-07,9,18:00\n"
         "a,2026-12-07,9:00,48:00\na,2026-12-07,12:00,9:00\na,2026-12-08,9:00,18:00\n",
         "a 2026-12-08 9:00:00-18:00:00;!2!3!4!5!6"},
        // The users file.
        {ReadAsPeople, "Japanese headings in CP932, columns in any order, one user's own day start",
         EncodeCp932("部署,ユーザー,氏名,日の始まり,備考\r\n営業部,tanaka,田中 一郎,,x\r\n製造部,sato,佐藤 花子,17:00,\r\n", nullptr),
         "sato/佐藤 花子/製造部/61200;tanaka/田中 一郎/営業部/-;"},
        {ReadAsPeople, "English headings, only the user required, H:MM:SS as a spreadsheet writes it",
         "user,day_starts\nsuzuki,5:00:00\nito\n", "ito///-;suzuki///18000;"},
        {ReadAsPeople, "rows that cannot be read are named, a user twice keeps the first",
         "user,name,day_starts\n,nobody,\nkato,a,24:00\nkato,b,5:60\nkato,c,\nkato,d,\n", "kato/c//-;!2!3!4!6"},
        {ReadAsPeople, "without the user column nothing is read", "name,department\na,b\n", "!1"},
    };
    for (const auto& r : rows) EXPECT_EQ(r.read(r.bytes), r.taken) << r.name;
    People two = ReadPeople("user,name\nb,B\na,A\n");
    EXPECT_TRUE(FindPerson(two, "b") && FindPerson(two, "b")->name == "B" && !FindPerson(two, "c"));
}
