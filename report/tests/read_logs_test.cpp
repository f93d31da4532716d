#include "read_logs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "civil_time.h"
#include "log/event_texts.h"
#include "people_join.h"

namespace fs = std::filesystem;

namespace {

// A short run: enough lines for an active stretch, and one bad line (line 3).
const char* const DAY = "2026/12/07 09:00:00 - " EVENT_TEXT_START "\r\n"
                        "2026/12/07 09:00:10 - " EVENT_TEXT_LOCK "\r\n"
                        "not a line\r\n"
                        "2026/12/07 09:00:20 - " EVENT_TEXT_UNLOCK "\r\n"
                        "2026/12/07 09:00:30 - " EVENT_TEXT_EXIT "\r\n";

TEST(ReadLogs, RowsBySourceProblemsInSourceOrderAndWhatCouldNotBeRead)
{
    fs::path root = fs::temp_directory_path() / ("read_logs_test_" + std::to_string(std::random_device{}()));
    fs::remove_all(root);
    for (const char* f : {"PC002/b_log/20261207.txt", "PC001/a_log/20261207.txt", "PC001/a_log/20261208.txt"}) {
        fs::create_directories((root / f).parent_path());
        std::ofstream(root / f, std::ios::binary) << DAY;
    }
    Discovery found = DiscoverSources({(root / "missing").u8string(), root.u8string()});
    fs::remove(root / "PC001/a_log/20261208.txt");  // gone between the listing and the reading
    size_t lastDone = 0;
    ReadOutcome out = ReadLogs(found, TimelineOptions{}, false, [&](size_t done, size_t) { lastDone = done; });
    fs::remove_all(root);

    EXPECT_FALSE(out.allRead);
    EXPECT_LE(lastDone, 3u);
    ASSERT_FALSE(out.report.rows.empty());
    EXPECT_EQ(out.report.rows.front().source, "PC001/a_log");
    EXPECT_EQ(out.report.rows.back().source, "PC002/b_log");
    ASSERT_TRUE(out.report.rows.front().files);
    EXPECT_EQ(*out.report.rows.front().files,
              (std::vector<std::string>{"PC001/a_log/20261207.txt", "PC001/a_log/20261208.txt"}));
    // Each problem as "file:line failed?", the report's and the outcome's in step.
    std::vector<std::string> problems;
    ASSERT_EQ(out.problems.size(), out.report.problems.size());
    for (size_t i = 0; i < out.problems.size(); ++i)
        problems.push_back(out.report.problems[i].file + ":" + std::to_string(out.report.problems[i].line) +
                           (out.problems[i].failed ? " failed" : ""));
    EXPECT_EQ(problems, (std::vector<std::string>{"missing:0 failed", "PC001/a_log/20261207.txt:3",
                                                  "PC001/a_log/20261208.txt:0 failed", "PC002/b_log/20261207.txt:3"}));
    EXPECT_EQ(FormatProblemLine(out.problems[1]), out.problems[1].path + ":3: " + out.problems[1].problem.message);
}

TEST(ReadLogs, AFileOfNoiseGivesAFewLinesThenACount)
{
    FileLines lines;
    for (uint32_t n = 1; n <= 25; ++n) lines.badLines.push_back(n * 2);
    lines.farDated = {41, 43};
    lines.tornLine = 51;
    std::vector<InputProblem> problems = DescribeDamage({0, "in/x_log/20261207.txt", "x_log/20261207.txt"}, lines);
    // Ten lines, how many more, the lines dated elsewhere, the torn end; damage inside a file that was read is no read failure.
    std::string shown;
    for (const InputProblem& p : problems)
        shown += p.problem.file + ":" + std::to_string(p.problem.line) + (p.failed ? " failed " : " ");
    EXPECT_EQ(shown, "x_log/20261207.txt:2 x_log/20261207.txt:4 x_log/20261207.txt:6 x_log/20261207.txt:8 "
                     "x_log/20261207.txt:10 x_log/20261207.txt:12 x_log/20261207.txt:14 x_log/20261207.txt:16 "
                     "x_log/20261207.txt:18 x_log/20261207.txt:20 x_log/20261207.txt:22 x_log/20261207.txt:41 x_log/20261207.txt:43 "
                     "x_log/20261207.txt:51 ");
    ASSERT_EQ(problems.size(), 14u);
    EXPECT_NE(problems[10].problem.message.find("15 more"), std::string::npos) << problems[10].problem.message;
}

}  // namespace

// A users file: a night-shift worker's own day start overrides the one given
// (their 22:00 to 6:00 shift is one day); names and departments join in any case.
TEST(ReadLogs, UsersOwnDayStartsAndNames)
{
    const char* const NIGHT = "2026/12/07 22:00:00 - " EVENT_TEXT_START "\r\n"
                              "2026/12/08 06:00:00 - " EVENT_TEXT_EXIT "\r\n";
    fs::path root = fs::temp_directory_path() / ("read_logs_users_test_" + std::to_string(std::random_device{}()));
    fs::remove_all(root);
    for (const char* f : {"PC1/Night_log/20261207.txt", "PC1/day_log/20261207.txt"}) {
        fs::create_directories((root / f).parent_path());
        std::ofstream(root / f, std::ios::binary) << NIGHT;
    }
    People people = ReadPeople("ユーザー,氏名,部署,日の始まり\nNIGHT,夜勤 太郎,製造,17:00\nother,,,5:00\n");
    TimelineOptions options;
    options.gapS = 10 * 3600;
    ReadOutcome out = ReadLogs(DiscoverSources({root.u8string()}), options, false, nullptr, UserDayStarts(people));
    fs::remove_all(root);
    AddPeople(out.report.rows, people);
    std::string shown;
    for (const DayRow& r : out.report.rows)
        shown += r.user + " " + std::to_string(r.day - DaysFromCivil(2026, 12, 7)) + " " + std::to_string(r.spanS / 3600) +
                 "h " + std::to_string(r.dayStartS / 3600) + " " + r.name + "|" + r.department + ";";
    EXPECT_EQ(shown, "Night 0 8h 17 夜勤 太郎|製造;day 0 2h 0 |;day 1 6h 0 |;");
}
