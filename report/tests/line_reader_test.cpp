#include <gtest/gtest.h>

#include <string>

#include "day_checks.h"
#include "line_reader.h"
#include "log/event_texts.h"

namespace {

// A file in UTF-16LE after its mark; the units as written, lone surrogates and all.
std::string Utf16Le(std::u16string_view units)
{
    std::string out = "\xFF\xFE";
    for (char16_t unit : units) {
        out += (char)(unit & 0xFF);
        out += (char)(unit >> 8);
    }
    return out;
}

const std::string A = "2026/12/07 09:00:00 - " EVENT_TEXT_START;
const std::string B = "2026/12/07 09:00:30 - " EVENT_PREFIX_SESSION_STATE "アクティブ";

}  // namespace

TEST(LineReader, EncodingsAndDamage)
{
    struct Row {
        const char* name;
        std::string bytes;
        size_t lines;
        std::vector<uint32_t> bad;
        uint32_t torn;
        std::vector<uint32_t> far = {};  // dated more than a day from the file's date
        int64_t fileDay = DEC_7;
        std::string sameAs = {};  // when given, the lines read exactly as these UTF-8 bytes do
    };
    auto line = [](int second, const std::string& text) {
        return "2026/12/07 09:00:0" + std::to_string(second) + " - " + text + "\r\n";
    };
    const Row rows[] = {
        {"UTF-8 with mark, CR LF", "\xEF\xBB\xBF" + A + "\r\n" + B + "\r\n", 2, {}, 0},
        {"UTF-8 without mark, LF", A + "\n" + B + "\n", 2, {}, 0},
        {"UTF-16LE, an odd last byte", Utf16Le(u"2026/12/07 09:00:00 - x\r\n").append("2"), 1, {}, 2},
        {"UTF-16LE, U+0080 and a pair past U+FFFF", Utf16Le(u"2026/12/07 09:00:00 - \x80\xD83D\xDE00\r\n"), 1, {}, 0,
         {}, DEC_7, line(0, "\xC2\x80\xF0\x9F\x98\x80")},
        // Malformed UTF-8 in the text leaves a line a line of the running program; in
        // the time stamp it is no time stamp (an overlong "/" or ":" is not one).
        {"UTF-8 at its edges in the text",
         line(0, "\xC2\x80") + line(1, "\xC0\xAF") + line(2, "\xE0\x80\xAF") + line(3, "\xF4\x90\x80\x80") +
             line(4, "\xF5\x80\x80\x80") + line(5, "\xF4\x8F\xBF\xBF"),
         6, {}, 0},
        {"UTF-8 at its edges in the time stamp",
         "2026\xC0\xAF" "12/07 09:00:00 - x\n2026/12/07 09\xE0\x80\xBA" "00:00 - x\n2026/12/07 09:00:00\xC2\x80- x\n"
         "\xC2\x80" "2026/12/07 09:00:00 - x\n2026/12/07 09:00:00 - x\n",
         1, {1, 2, 3, 4}, 0},
        {"last line without its end", A + "\r\n" + B, 1, {}, 2},
        {"a mark and nothing else", "\xEF\xBB\xBF", 0, {}, 0},
        {"bad lines are named, the rest read",
         A + "\r\n" + "garbage\r\n" + "2026/02/30 09:00:00 - x\r\n" + "2026/12/07 24:00:00 - x\r\n" +
             "2026/12/07 09:00:00 x\r\n" + "\r\n" + "2026/12/07 09:00:00 - \r\n" + B + "\r\n",
         3, {2, 3, 4, 5, 6}, 0},
        {"times that do not exist, and digits that are not digits",
         "2026/12/07 12:60:00 - x\n2026/12/07 12:00:60 - x\n2026/12/07 23:59:60 - x\n2026/12/07 99:00:00 - x\n"
         "2026/12/07 -1:00:00 - x\n2026/12/07 +9:00:00 - x\n2026/12/07  9:00:00 - x\n2026/12/07 09:00:00 - x\n"
         "2026/12/07 23:59:59 - x\n",
         2, {1, 2, 3, 4, 5, 6, 7}, 0},
        {"a leap day exists", "2028/02/29 23:59:59 - x\n", 1, {}, 0, {}, DaysFromCivil(2028, 2, 29)},
        {"a day either side of the file's date is read, further is not",
         "2026/12/06 00:00:00 - x\n2026/12/08 23:59:59 - x\n2026/12/05 23:59:59 - x\n2026/12/09 00:00:00 - x\n"
         "9999/12/07 09:00:00 - x\n1996/12/07 09:00:00 - x\n" + A + "\n",
         3, {}, 0, {3, 4, 5, 6}},
    };
    for (const Row& r : rows) {
        FileLines file = ReadLogLines(r.bytes, r.fileDay);
        EXPECT_EQ(file.lines.size(), r.lines) << r.name;
        EXPECT_EQ(file.badLines, r.bad) << r.name;
        EXPECT_EQ(file.tornLine, r.torn) << r.name;
        EXPECT_EQ(file.farDated, r.far) << r.name;
        if (r.sameAs.empty()) continue;
        FileLines expected = ReadLogLines(r.sameAs, r.fileDay);
        ASSERT_EQ(file.lines.size(), expected.lines.size()) << r.name;
        for (size_t i = 0; i < expected.lines.size(); ++i) {
            EXPECT_EQ(file.lines[i].line, expected.lines[i].line) << r.name << " " << i;
            EXPECT_EQ(file.lines[i].time, expected.lines[i].time) << r.name << " " << i;
            EXPECT_EQ(file.lines[i].textHash, expected.lines[i].textHash) << r.name << " " << i;
        }
    }
}

TEST(LineReader, TimesLineNumbersAndIdentity)
{
    FileLines file = ReadLogLines(Utf16Le(u"bad\r\n2026/12/07 09:00:30 - x\r\n2026/12/07 09:00:30 - y\r\n"), DEC_7);
    ASSERT_EQ(file.lines.size(), 2u);
    EXPECT_EQ(file.lines[0].time, At(7, 9, 0, 30));
    EXPECT_EQ(file.lines[0].line, 2u);
    EXPECT_EQ(file.lines[1].line, 3u);
    // Same moment, other text: not the same line.
    EXPECT_NE(file.lines[0].textHash, file.lines[1].textHash);
    EXPECT_EQ(ReadLogLines("2026/12/07 09:00:30 - x\n", DEC_7).lines[0].textHash, file.lines[0].textHash);
}

// The texts whose kind is not a plain lookup, and the near misses.
TEST(LineReader, KindsThatTakeMoreThanALookup)
{
    struct Row {
        std::string text;
        LineKind kind;
    };
    const Row rows[] = {
        {EVENT_TEXT_RESUME_CRITICAL, LineKind::Resume},
        {EVENT_PREFIX_POWER "18", LineKind::Resume},
        {EVENT_PREFIX_POWER "10", LineKind::PowerOther},
        {EVENT_PREFIX_POWER "180", LineKind::PowerOther},
        {EVENT_PREFIX_POWER "018", LineKind::PowerOther},
        {EVENT_PREFIX_SESSION_CHANGE "1", LineKind::SessionChangeOther},
        {EVENT_PREFIX_SESSION_STATE EVENT_STATE_UNKNOWN, LineKind::SessionState},
        {EVENT_TEXT_STATE_FAILED, LineKind::SessionState},
        {EVENT_TEXT_NO_SESSION, LineKind::SessionState},
        {EVENT_TEXT_LOCK "x", LineKind::Unknown},
        {"", LineKind::Unknown},
    };
    for (const Row& r : rows) EXPECT_EQ((int)ClassifyEventText(r.text), (int)r.kind) << r.text;
}
