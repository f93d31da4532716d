#include "read_logs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "day_checks.h"
#include "log/event_texts.h"
#include "people_join.h"
#include "problem_checks.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace {

using ReadingLogs = TestFolder;

TEST_F(ReadingLogs, RowsBySourceProblemsInSourceOrderAndWhatCouldNotBeRead)
{
    Make({"PC002/b_log/20261207.txt", "PC001/a_log/20261207.txt", "PC001/a_log/20261208.txt"}, SHORT_DAY);
    Discovery found = DiscoverSources({Path("missing"), root_.u8string()});
    fs::remove(root_ / "PC001/a_log/20261208.txt");  // gone between the listing and the reading
    size_t lastDone = 0;
    ReadOutcome out = ReadLogs(found, TimelineOptions{}, false, [&](size_t done, size_t) { lastDone = done; });

    EXPECT_FALSE(out.allRead);
    EXPECT_LE(lastDone, 3u);
    ASSERT_FALSE(out.report.rows.empty());
    EXPECT_EQ(out.report.rows.front().source, "PC001/a_log");
    EXPECT_EQ(out.report.rows.back().source, "PC002/b_log");
    ASSERT_TRUE(out.report.rows.front().files);
    EXPECT_EQ(*out.report.rows.front().files,
              (std::vector<std::string>{"PC001/a_log/20261207.txt", "PC001/a_log/20261208.txt"}));
    // The report's problems with the outcome's failures: the two lists in step.
    std::vector<InputProblem> problems = out.problems;
    ASSERT_EQ(problems.size(), out.report.problems.size());
    for (size_t i = 0; i < problems.size(); ++i) problems[i].problem = out.report.problems[i];
    EXPECT_EQ(Shown(problems), "missing:0 failed; PC001/a_log/20261207.txt:3; PC001/a_log/20261208.txt:0 failed; "
                               "PC002/b_log/20261207.txt:3; ");
    EXPECT_EQ(FormatProblemLine(out.problems[1]), out.problems[1].path + ":3: " + out.problems[1].problem.message);
}

TEST_F(ReadingLogs, AFileOfNoiseGivesAFewLinesThenACount)
{
    FileLines lines;
    for (uint32_t n = 1; n <= 25; ++n) lines.badLines.push_back(n * 2);
    lines.farDated = {41, 43};
    lines.tornLine = 51;
    std::vector<InputProblem> problems = DescribeDamage({0, "in/x", "x"}, lines);
    // Ten lines, how many more, the lines dated elsewhere, the torn end; damage inside a file that was read is no read failure.
    ASSERT_EQ(Shown(problems), "x:2; x:4; x:6; x:8; x:10; x:12; x:14; x:16; x:18; x:20; x:22; x:41; x:43; x:51; ");
    EXPECT_NE(problems[10].problem.message.find("15 more"), std::string::npos) << problems[10].problem.message;
}

// A users file: a night-shift worker's own day start overrides the one given
// (their 22:00 to 6:00 shift is one day); names and departments join in any case.
TEST_F(ReadingLogs, UsersOwnDayStartsAndNames)
{
    Make({"PC1/Night_log/20261207.txt", "PC1/day_log/20261207.txt"},
         "2026/12/07 22:00:00 - " EVENT_TEXT_START "\r\n2026/12/08 06:00:00 - " EVENT_TEXT_EXIT "\r\n");
    People people = ReadPeople("ユーザー,氏名,部署,日の始まり\nNIGHT,夜勤 太郎,製造,17:00\nother,,,5:00\n");
    TimelineOptions options;
    options.gapS = 10 * 3600;
    ReadOutcome out = ReadLogs(DiscoverSources({root_.u8string()}), options, false, nullptr, UserDayStarts(people));
    AddPeople(out.report.rows, people);
    std::string shown;
    for (const DayRow& r : out.report.rows)
        shown += r.user + " " + std::to_string(r.day - DEC_7) + " " + std::to_string(r.spanS / 3600) +
                 "h " + std::to_string(r.dayStartS / 3600) + " " + r.name + "|" + r.department + ";";
    EXPECT_EQ(shown, "Night 0 8h 17 夜勤 太郎|製造;day 0 2h 0 |;day 1 6h 0 |;");
}

}  // namespace
