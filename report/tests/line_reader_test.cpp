#include <gtest/gtest.h>

#include <string>

#include "civil_time.h"
#include "line_reader.h"
#include "log/event_texts.h"

namespace {

std::string Utf16Le(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

const std::string A = "2026/12/07 09:00:00 - " EVENT_TEXT_START;
const std::string B = "2026/12/07 09:00:30 - " EVENT_PREFIX_SESSION_STATE "アクティブ";
const int64_t DEC_7 = DaysFromCivil(2026, 12, 7);

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
    };
    const Row rows[] = {
        {"UTF-8 with mark, CR LF", "\xEF\xBB\xBF" + A + "\r\n" + B + "\r\n", 2, {}, 0},
        {"UTF-8 without mark, LF", A + "\n" + B + "\n", 2, {}, 0},
        {"UTF-16LE after FF FE", Utf16Le("2026/12/07 09:00:00 - x\r\n2026/12/07 09:00:01 - y\r\n"), 2, {}, 0},
        {"UTF-16LE, an odd last byte", Utf16Le("2026/12/07 09:00:00 - x\r\n").append("2"), 1, {}, 2},
        {"last line without its end", A + "\r\n" + B, 1, {}, 2},
        {"a mark and nothing else", "\xEF\xBB\xBF", 0, {}, 0},
        {"bad lines are named, the rest read",
         A + "\r\n" + "garbage\r\n" + "2026/02/30 09:00:00 - x\r\n" + "2026/12/07 24:00:00 - x\r\n" +
             "2026/12/07 09:00:00 x\r\n" + "\r\n" + "2026/12/07 09:00:00 - \r\n" + B + "\r\n",
         3, {2, 3, 4, 5, 6}, 0},
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
    }
}

TEST(LineReader, TimesLineNumbersAndIdentity)
{
    FileLines file = ReadLogLines(Utf16Le("bad\r\n2026/12/07 09:00:30 - x\r\n2026/12/07 09:00:30 - y\r\n"), DEC_7);
    ASSERT_EQ(file.lines.size(), 2u);
    EXPECT_EQ(file.lines[0].time, DaysFromCivil(2026, 12, 7) * SECONDS_PER_DAY + 9 * 3600 + 30);
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
