#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cp932.h"
#include "day_checks.h"
#include "outputs.h"
#include "utf8.h"

// A day from 09:00 to 18:00 with one of everything, so every column differs.
static DayRow MakeRow(const std::string& source, const std::string& user)
{
    DayRow row = Day(source, user, At(7, 9), At(7, 18));
    row.activeS = 27000, row.lockedS = 3600, row.suspendedS = 1200, row.offS = 600;
    row.starts = 1, row.exits = 2, row.locks = 3, row.unlocks = 4, row.suspends = 5, row.resumes = 6;
    row.badLines = 7, row.heartbeatS = 10, row.weekday = 1;
    return row;
}

// That the text holds each of the pieces (or, with `holds` false, none of them).
static void ExpectPieces(const std::string& text, const std::vector<std::string>& pieces, const std::string& what,
                         bool holds = true)
{
    for (const std::string& piece : pieces)
        EXPECT_EQ(text.find(piece) != std::string::npos, holds) << what << ": " << piece;
}

TEST(Cp932, EncodesEveryKindOfCharacterAndCountsTheUnmappable)
{
    const struct { const char *utf8, *expected; size_t unmappable; } cases[] = {
        {"abc ~\\\t", "abc ~\\\t", 0},
        {"\xE3\x81\x82\xE3\x82\xA2", "\x82\xA0\x83\x41", 0},  // あア
        {"\xE6\xBC\xA2\xE5\xAD\x97", "\x8A\xBF\x8E\x9A", 0},  // 漢字
        {"\xEF\xBD\x9E", "\x81\x60", 0},                      // ～ U+FF5E
        {"\xEF\xBC\x8D", "\x81\x7C", 0},                      // － U+FF0D
        {"\xE2\x91\xA0\xE9\xAB\x99", "\x87\x40\xFB\xFC", 0},  // ① and 髙, the vendor rows
        {"\xEF\xBD\xB1\xEF\xBE\x9F", "\xB1\xDF", 0},          // ｱﾟ half-width
        {"\xE3\x80\x9C", "?", 1},                             // 〜 U+301C, no round trip
        {"\xE2\x88\x92", "?", 1},                             // − U+2212, no round trip
        {"a\xF0\x9F\x98\x80z", "a?z", 1},                     // outside the BMP
        {"\xC2\x80\xC2\xA0", "??", 2},                        // no C1 controls or NBSP
        {"x\xFF\xE3\x81", "x??", 2},                          // malformed input
        {"\xE3\x80\x9C\xE3\x80\x9C\xE3\x81\x82", "??\x82\xA0", 2},
    };
    for (const auto& c : cases) {
        size_t unmappable = 99;
        EXPECT_EQ(EncodeCp932(c.utf8, &unmappable), c.expected) << c.utf8;
        EXPECT_EQ(unmappable, c.unmappable) << c.utf8;
    }
}

// UTF-8 to UTF-16 units in hex ("0061 3042"), and back from them.
static std::string ToUtf16Units(std::string_view utf8)
{
    std::string units;
    char hex[6];
    for (char16_t unit : Utf8ToUtf16(utf8)) units += (snprintf(hex, sizeof hex, " %04X", (unsigned)unit), hex);
    return units.substr(1);
}
static std::string FromUtf16Units(std::string_view units)
{
    std::u16string utf16;
    for (size_t at = 0; at < units.size(); at += 5)
        utf16 += (char16_t)std::stoul(std::string(units.substr(at, 4)), nullptr, 16);
    return Utf16ToUtf8(utf16);
}

// Each row: input, expected output, the function under test.
TEST(Outputs, TextPieces)
{
    const std::string R = "\xEF\xBF\xBD";
    const struct { std::string (*f)(std::string_view); std::string input, expected; } cases[] = {
        // Malformed UTF-8 becomes one replacement per bad sequence.
        {MakeValidUtf8, "plain \xE6\x97\xA5 \xF0\x9F\x98\x80", "plain \xE6\x97\xA5 \xF0\x9F\x98\x80"},
        {MakeValidUtf8, R, R},                                 // a real U+FFFD stays one
        {MakeValidUtf8, "\xC0\xAF", R + R},                    // overlong
        {MakeValidUtf8, "\xE0\x80\xAF", R + R + R},            // overlong, three bytes
        {MakeValidUtf8, "\xED\xA0\x80", R + R + R},            // surrogate
        {MakeValidUtf8, "\xF4\x90\x80\x80", R + R + R + R},    // past U+10FFFF
        {MakeValidUtf8, "\xF5\x80\x80\x80", R + R + R + R},    // a lead byte that never begins one
        {MakeValidUtf8, "\xC1\xBF", R + R},                    // overlong U+007F
        // The first and last of each length are code points.
        {MakeValidUtf8, "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
         "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {MakeValidUtf8, "\xE3\x81" "a", R + "a"},              // cut off: one replacement
        {MakeValidUtf8, "\xF0\x9F\x98", R},
        {MakeValidUtf8, "\x80\xBF", R + R},                    // stray continuations
        // UTF-16, for Windows: a pair for a code point past U+FFFF, U+FFFD for what is malformed.
        {ToUtf16Units, "a\xE3\x81\x82\xEF\xBF\xBF\xF0\x9F\x98\x80", "0061 3042 FFFF D83D DE00"},
        {FromUtf16Units, "0061 3042 FFFF D83D DE00", "a\xE3\x81\x82\xEF\xBF\xBF\xF0\x9F\x98\x80"},
        {FromUtf16Units, "D83D 0061 DE00 DBFF DFFF", R + "a" + R + "\xF4\x8F\xBF\xBF"},  // lone halves
        {FromUtf16Units, "DE00 D83D 0080 D83D", R + R + "\xC2\x80" + R},  // reversed, and a high half last
        {ToUtf16Units, "\xC2\x80\xC0\xAF\xF4\x90\x80\x80", "0080 FFFD FFFD FFFD FFFD FFFD FFFD"},
        // A name on the page: markup escaped, control characters (C0, DEL, C1) shown as U+FFFD.
        {EscapeHtml, "PC<1> & \"a\" 'b'", "PC&lt;1&gt; &amp; &quot;a&quot; &#39;b&#39;"},
        {EscapeHtml, "a\x01\x1b[31mb\x7f\t\xC2\x85\xC2\x9F\xC2\xA0", "a" + R + R + "[31mb" + R + "\t" + R + R + "\xC2\xA0"},
        {EscapeHtml, "\xC2\x80|\xC0\x80|\xE0\x82\x80|\xC2\x7F", R + "|" + R + R + "|" + R + R + R + "|" + R + R},
        {QuoteJsonString, "plain/path", "\"plain/path\""},
        {QuoteJsonString, "say \"hi\" \\ there", "\"say \\\"hi\\\" \\\\ there\""},
        {QuoteJsonString, "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {QuoteJsonString, std::string("\x01\x1f\x00\x7f", 4), "\"\\u0001\\u001f\\u0000\x7f\""},
        {QuoteJsonString, "\xE7\x94\xB0\xE4\xB8\xAD", "\"\xE7\x94\xB0\xE4\xB8\xAD\""},
        {QuoteJsonString, "\xC2\x80\xC0\xAF\xED\xB0\x80", "\"\xC2\x80" + R + R + R + R + R + "\""},
        {QuoteCsvField, "", ""}, {QuoteCsvField, "a,b", "\"a,b\""},
        {QuoteCsvField, "PC001/tanaka_log", "PC001/tanaka_log"},
        {QuoteCsvField, "say \"hi\"", "\"say \"\"hi\"\"\""},
        {QuoteCsvField, "two\r\nlines", "\"two\r\nlines\""},
        {QuoteCsvField, "line\nfeed", "\"line\nfeed\""},
        {QuoteCsvField, "=SUM(A1:A9)", "'=SUM(A1:A9)"},  // Excel would run these
        {QuoteCsvField, "+81", "'+81"}, {QuoteCsvField, "-1", "'-1"}, {QuoteCsvField, "@cmd", "'@cmd"},
        {QuoteCsvField, "=HYPERLINK(\"x\",1)", "\"'=HYPERLINK(\"\"x\"\",1)\""},
        {QuoteCsvField, "a=b-c", "a=b-c"},
        // Names a spreadsheet would make a number or a date keep their text.
        {QuoteCsvText, "00123", "\"=\"\"00123\"\"\""}, {QuoteCsvText, "1-2", "\"=\"\"1-2\"\"\""},
        {QuoteCsvText, "2026/12/7", "\"=\"\"2026/12/7\"\"\""}, {QuoteCsvText, "1e3", "\"=\"\"1e3\"\"\""},
        {QuoteCsvText, "9:00", "\"=\"\"9:00\"\"\""}, {QuoteCsvText, "1,5", "\"=\"\"1,5\"\"\""},
        {QuoteCsvText, "-12", "'-12"}, {QuoteCsvText, "-", "'-"},
        {QuoteCsvText, "PC001", "PC001"}, {QuoteCsvText, "e1", "e1"}, {QuoteCsvText, "PC 1-2", "PC 1-2"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.f(c.input), c.expected) << c.input;
}

TEST(JsonLines, OneObjectPerRowWithTheKeysInOrderLfAndNoMark)
{
    Report report;
    report.rows.push_back(MakeRow("PC001/tanaka_log", "tanaka"));
    DayRow late = MakeRow("PC001/tanaka_log", "tanaka");
    late.day = DEC_7 + 1, late.first = At(8, 22), late.last = At(9, 0);
    late.flags = FLAG_ABNORMAL_END | FLAG_CLOCK_JUMP | FLAG_BAD_LINES;
    late.weekday = 2, late.holiday = "会社\"休日", late.nightS = 7200;
    report.rows.push_back(late);
    const std::string head = "{\"source\":\"PC001/tanaka_log\",\"user\":\"tanaka\",\"place\":\"PC001\",";
    const std::string figures = ",\"span_s\":32400,\"active_s\":27000,\"locked_s\":3600,\"suspended_s\":1200,"
                                "\"off_s\":600,\"starts\":1,\"exits\":2,\"locks\":3,\"unlocks\":4,\"suspends\":5,"
                                "\"resumes\":6,\"bad_lines\":7,\"heartbeat_s\":10,\"flags\":[";
    // A day that ends at midnight ends at the next date's first instant.
    EXPECT_EQ(FormatJsonLines(report),
              head + "\"date\":\"2026-12-07\",\"first\":\"2026-12-07T09:00:00\",\"last\":\"2026-12-07T18:00:00\"" +
                  figures + "],\"weekday\":1,\"holiday\":\"\",\"night_s\":0}\n" + head +
                  "\"date\":\"2026-12-08\",\"first\":\"2026-12-08T22:00:00\",\"last\":\"2026-12-09T00:00:00\"" +
                  figures + "\"abnormal_end\",\"clock_jump\",\"bad_lines\"],\"weekday\":2,"
                            "\"holiday\":\"会社\\\"休日\",\"night_s\":7200}\n");
}

// In UTF-8 with a mark; in CP932 the same without it, what it cannot hold (〜
// U+301C) as '?' and counted.
TEST(Csv, Utf8WithMarkAHeadingPerColumnAndCrLfOrCp932)
{
    Report report;
    report.dayStartS = 5 * 3600;
    DayRow row = MakeRow("=PC〜,1/tanaka_log", "tanaka");
    row.first = At(7, 21), row.last = At(8, 1, 30), row.spanS = 16200, row.activeS = 90061;
    row.flags = FLAG_TWO_INSTANCES | FLAG_TORN_LINE;
    row.weekday = 6, row.holiday = "土曜日", row.nightS = 12600;
    report.rows.push_back(row);
    size_t unmappable = 99;
    std::string out = FormatCsv(report, CSV_UTF8, &unmappable);
    EXPECT_EQ(unmappable, 0u);
    const std::string record = "\"'=PC〜,1/tanaka_log\",tanaka,\"'=PC〜,1\",2026-12-07,21:00:00,25:30:00,4:30:00,"
                               "25:01:01,1:00:00,0:20:00,0:10:00,1,2,3,4,5,6,7,10,二重起動 途切れた行,6,土曜日,3:30:00\r\n";
    ASSERT_GT(out.size(), record.size());
    EXPECT_EQ(out.substr(out.size() - record.size()), record);
    // The headings' words are the code's own; what matters is the mark, one per column, CR LF.
    std::string headings = out.substr(0, out.size() - record.size());
    EXPECT_EQ(headings.rfind(std::string("\xEF\xBB\xBF") + ReportColumns[0].heading, 0), 0u) << "a mark, then a heading";
    EXPECT_EQ(std::count(headings.begin(), headings.end(), ','), 22);
    EXPECT_EQ(headings.find('\n'), headings.size() - 1);
    EXPECT_EQ(headings.substr(headings.size() - 2), "\r\n");
    EXPECT_EQ(FormatCsv(report, CSV_CP932, &unmappable), EncodeCp932(out.substr(3), nullptr));
    EXPECT_EQ(unmappable, 2u) << "the wave dash, twice";
}

// A day with a day start of 05:00: locked from before first, active, asleep, off
// after a crash, active again to 01:30 the next date, then locked; its marks,
// months and problems.
static Report MakeHtmlReport()
{
    Report report;
    report.dayStartS = 5 * 3600;
    DayRow row = MakeRow("PC<1>/tanaka_log", "tanaka");
    row.dayStartS = report.dayStartS;
    row.files = std::make_shared<const std::vector<std::string>>(
        std::vector<std::string>{"PC<1>/tanaka_log/20261207.txt", "PC<1>/tanaka_log/20261208.txt"});
    row.first = At(7, 9), row.last = At(8, 1, 30);
    row.intervals = {
        {At(7, 5), At(7, 9), State::Locked, {0, 1}, {0, 2}},
        {At(7, 9), At(7, 12), State::Active, {0, 2}, {0, 40}},
        {At(7, 12), At(7, 12, 20), State::Suspended, {0, 40}, {0, 41}},
        {At(7, 12, 20), At(7, 13), State::Off, {0, 41}, {0, 42}},
        {At(7, 13), At(8, 1, 30), State::Active, {0, 42}, {1, 7}},
        {At(8, 1, 30), At(8, 5), State::Locked, {1, 7}, {0, 0}},
    };
    row.marks = {{At(7, 8, 59), MarkKind::Start, {0, 1}}, {At(7, 13), MarkKind::AbnormalEnd, {0, 42}},
                 {At(7, 13), MarkKind::Start, {0, 42}}, {At(8, 2), MarkKind::Exit, {1, 9}}};
    row.activeS = 55800, row.suspendedS = 1200, row.offS = 2400, row.lockedS = 0;
    report.rows.push_back(row);
    MonthRow month;  // November at the overtime limit, December a second over it
    month.source = row.source, month.user = "tanaka", month.month = MonthIndex(2026, 11), month.overtimeS = 45 * 3600;
    report.months = {month, month};
    report.months[1].month = MonthIndex(2026, 12), report.months[1].flags = MONTH_FLAG_OVER_LIMIT;
    report.months[1].overtimeS += 1;
    report.problems = {{"PC<1>/tanaka_log/20261207.txt", 17, "not a log line", ProblemKind::NotLogLine},
                       {"PC<1>/tanaka_log/20261209.txt", 0, "cannot be read", ProblemKind::FileError}};
    return report;
}

static std::vector<std::string> FindAll(const std::string& text, const std::string& open, const std::string& close)
{
    std::vector<std::string> found;
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1))
        found.push_back(text.substr(at, text.find(close, at) - at));
    return found;
}

TEST(Html, BarsDrawTheIntervalsBetweenFirstAndLastInSeconds)
{
    std::string page = FormatHtml(MakeHtmlReport());
    EXPECT_EQ(FindAll(page, "<tr class=\"day", ">"),
              std::vector<std::string>{
                  "<tr class=\"day\" id=\"p0-2026-12-07\" data-source=\"PC&lt;1&gt;/tanaka_log\" "
                  "data-date=\"2026-12-07\" data-active-s=\"55800\" data-locked-s=\"0\" data-suspended-s=\"1200\" "
                  "data-off-s=\"2400\""});
    // The locked stretches lie outside first..last and are not drawn.
    EXPECT_EQ(FindAll(page, "<rect ", "<title>"),
              (std::vector<std::string>{"<rect class=s-active x=14400 width=10800>",
                                        "<rect class=s-suspended x=25200 width=1200>",
                                        "<rect class=s-off x=26400 width=2400>",
                                        "<rect class=s-active x=28800 width=45000>"}));
    // Each stretch names its lines: by number in the day's own file, else with the file's name.
    ExpectPieces(page, {"<svg class=\"bar\" viewBox=\"0 0 86400 24\" preserveAspectRatio=\"none\"",
                        "<title>9:00:00–12:00:00 ロック解除中\n行 2–40</title></rect>",
                        "<title>13:00:00–25:30:00 ロック解除中\n20261207.txt:42 – 20261208.txt:7</title></rect>"},
                 "bars");
    std::vector<std::string> marks = FindAll(page, "<line class=\"m-", "</title>");
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_EQ(marks[0], "<line class=\"m-start\" x1=\"14340\" y1=\"0\" x2=\"14340\" y2=\"24\"><title>起動 8:59:00\n行 1");
    // The abnormal end drawn last, over the start of the same second.
    const char* const starts[] = {"", "<line class=\"m-start\" x1=\"28800\"", "<line class=\"m-exit\" x1=\"75600\"",
                                  "<line class=\"m-abnormal\" x1=\"28800\""};
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(marks[i].rfind(starts[i], 0), 0u) << marks[i];
}

// Each row: a change to the day above, then what its page holds and what it never does.
TEST(Html, APageOfItsOwnInJapanese)
{
    using Change = std::function<void(Report&)>;
    auto only = [](Problem p) -> Change { return [p](Report& r) { r.problems = {p}; }; };
    const struct {
        const char* what;
        Change change;
        std::vector<std::string> holds, lacks;
    } rows[] = {
        // A row per person, each name a link to their sheet, a cell per month, the month over the limit coloured.
        {"self-contained, its months, each problem in Japanese words, its file escaped", nullptr,
         {"<meta charset=\"utf-8\">", "print-color-adjust: exact", "</html>\n",
          "<tr><th><a href=\"#p0\">PC&lt;1&gt;/tanaka_log</a><td title=\"0 日（休日 0 日）・22 時以降 0 日・深夜 0:00:00\">"
          "45:00:00<td class=\"over\" title=\"0 日（休日 0 日）・22 時以降 0 日・深夜 0:00:00\">45:00:01\n",
          "<tr><td>PC&lt;1&gt;/tanaka_log/20261207.txt</td><td class=\"num\">17</td><td>読めない行です",
          "<tr><td>PC&lt;1&gt;/tanaka_log/20261209.txt</td><td class=\"num\"></td><td>読めません</td></tr>"},
         {"http", "src=", "//", "url(", "@import", "<script", "<link"}},
        // A night-shift worker's own day start: their sheet's axis, shade and bars count from it.
        {"a sheet drawn from its person's day start", [](Report& r) { r.rows[0].dayStartS = 12 * 3600; },
         {"<section class=\"person ds43200\"",
          ".ds43200 .bar, .ds43200 .hours { background: linear-gradient(to right,transparent 41.666%,"
          "var(--night) 41.666% 70.833%,transparent 70.833%)",
          "<rect class=s-active x=3600 width=45000>", "<span class=\"edge\" style=\"left:70.833%\">29:00</span>"},
         {".ds18000"}},
        {"a company's day off: the overview's column and the day's bar tinted and named",
         [](Report& r) { r.rows[0].holiday = "創立記念日"; },
         {"<th class=\"off\" title=\"創立記念日\">7</th>", "<td class=\"e3 off\"><a href=\"#p0-2026-12-07\"",
          "<tr class=\"day off\" id=\"p0-2026-12-07\"", "2026-12-07（月）<small>創立記念日</small></th>"},
         {}},
        {"no problems", [](Report& r) { r.problems.clear(); }, {}, {"<td>読めません</td>"}},
        {"more bad lines", only({"f", 1, "", ProblemKind::NotLogLine, FileError::Other, FileAction::Read, 15}),
         {"あと 15 行が読めない行"}, {}},
        {"a folder missing", only({"f", 0, "", ProblemKind::FileError, FileError::NotFound, FileAction::List}),
         {"フォルダーがありません"}, {}},
        {"too large", only({"f", 0, "", ProblemKind::FileError, FileError::TooLarge}), {"64 MiB を超え"}, {}},
        {"the clock set back", only({"f", 3, "", ProblemKind::ClockSetBack}), {"時計が戻されました"}, {}},
        {"a torn line", only({"f", 9, "", ProblemKind::TornLine}), {"途中で切れています"}, {}},
        {"a row of a file beside the logs", only({"f", 2, "見出しに日付の列がありません", ProblemKind::InputRow}),
         {"見出しに日付の列がありません"}, {}},
    };
    for (const auto& r : rows) {
        Report report = MakeHtmlReport();
        if (r.change) r.change(report);
        std::string page = FormatHtml(report);
        EXPECT_EQ(page.rfind("<!DOCTYPE html>\n<html lang=\"ja\">", 0), 0u) << r.what;
        EXPECT_LT(page.find("id=\"months\""), page.find("id=\"overview\"")) << r.what << ": the months first";
        EXPECT_LT(page.find("id=\"overview\""), page.find("id=\"p0\"")) << r.what;
        ExpectPieces(page, r.holds, r.what);
        ExpectPieces(page, r.lacks, r.what, false);
    }
}

// Every format handed on in pieces while it is formatted, the same bytes as
// whole; a sink that fails is not asked again and the writer says so.
TEST(Outputs, WrittenInPiecesAsFormatted)
{
    Report report = MakeHtmlReport();
    for (int i = 0; i < 1500; ++i) {  // past a few pieces, Japanese names across their ends
        DayRow row = report.rows[0];
        row.source = "PC" + std::to_string(i) + "/\xE7\x94\xB0\xE4\xB8\xAD_log";
        report.rows.push_back(row);
    }
    size_t unmappable = 0;
    std::string utf8 = FormatCsv(report, CSV_UTF8, nullptr);
    const struct {
        const char* name;
        bool (*write)(const Report&, OutputSink&);
        std::string whole;
    } formats[] = {
        {"page", WriteHtml, FormatHtml(report)},
        {"json", WriteJsonLines, FormatJsonLines(report)},
        {"csv", [](const Report& r, OutputSink& s) { return WriteCsv(r, CSV_UTF8, s, nullptr); }, utf8},
        {"cp932", [](const Report& r, OutputSink& s) { return WriteCsv(r, CSV_CP932, s, nullptr); },
         EncodeCp932(utf8.substr(3), &unmappable)},
    };
    for (const auto& f : formats) {
        std::vector<std::string> pieces;
        OutputSink sink;
        sink.write = [&](std::string_view piece) { return pieces.emplace_back(piece), true; };
        EXPECT_TRUE(f.write(report, sink)) << f.name;
        EXPECT_GT(pieces.size(), 1u) << f.name;
        std::string joined;
        for (const std::string& piece : pieces) {
            EXPECT_LE(piece.size(), 2 * OUTPUT_CHUNK) << f.name;
            joined += piece;
        }
        EXPECT_EQ(joined, f.whole) << f.name;

        int calls = 0;
        OutputSink failing;
        failing.write = [&](std::string_view) { return ++calls, false; };
        EXPECT_FALSE(f.write(report, failing)) << f.name;
        EXPECT_EQ(calls, 1) << f.name;
    }
}

// With attendance times: four keys after night_s, null for what is not known,
// the CSV's empty column for the reason; a clocked day without PC use has no
// first or last.
TEST(Outputs, AttendanceColumnsOnlyWhenGiven)
{
    Report report;
    report.hasAttendance = true;
    DayRow early = MakeRow("PC1/u_log", "u");
    early.hasClockIn = true, early.clockInS = 9 * 3600 + 30 * 60, early.beforeClockInMin = 30;
    early.hasClockOut = true, early.clockOutS = 26 * 3600, early.flags = FLAG_DIVERGENCE;
    DayRow none = MakeRow("PC1/u_log", "u");
    none.flags = FLAG_NO_PC_RECORD, none.hasClockIn = true, none.clockInS = 8 * 3600;
    report.rows = {early, none};
    report.months = {MonthRow{}};
    ExpectPieces(FormatJsonLines(report),
                 {"\"night_s\":0,\"clock_in\":\"09:30:00\",\"clock_out\":\"26:00:00\",\"before_clock_in_min\":30,"
                  "\"after_clock_out_min\":0}\n",
                  "\"first\":null,\"last\":null,",
                  "\"clock_in\":\"08:00:00\",\"clock_out\":null,\"before_clock_in_min\":null,\"after_clock_out_min\":null}\n"},
                 "json");
    ExpectPieces(FormatCsv(report, CSV_UTF8, nullptr),
                 {",勤怠との乖離,1,,0:00:00,09:30:00,26:00:00,30,0,\r\n", ",2026-12-07,,,9:00:00,",
                  ",PC記録なし,1,,0:00:00,08:00:00,,,,\r\n"},
                 "csv");
    // A users file adds the person after them; the reason stays the CSV's last column.
    report.hasPeople = true;
    report.rows[0].name = "田中 一郎", report.rows[0].department = "00123";
    report.months[0].name = "田中 一郎";
    ExpectPieces(FormatJsonLines(report), {"\"after_clock_out_min\":0,\"name\":\"田中 一郎\",\"department\":\"00123\"}\n"},
                 "json with people");
    ExpectPieces(FormatCsv(report, CSV_UTF8, nullptr), {",30,0,田中 一郎,\"=\"\"00123\"\"\",\r\n", ",氏名,部署,乖離理由\r\n"},
                 "csv with people");
    ExpectPieces(FormatMonthlyJsonLines(report), {"\"divergence_days\":0,\"name\":\"田中 一郎\",\"department\":\"\"}\n"},
                 "months with people");
    report.hasAttendance = false, report.hasPeople = false;
    ExpectPieces(FormatJsonLines(report), {"clock_in", "department"}, "json without them", false);
}
