#include "read_logs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "log/event_texts.h"

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
    fs::path root = fs::temp_directory_path() / "read_logs_test";
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
    ASSERT_FALSE(out.report.rows.empty());
    EXPECT_EQ(out.report.rows.front().source, "PC001/a_log");
    EXPECT_EQ(out.report.rows.back().source, "PC002/b_log");
    ASSERT_TRUE(out.report.rows.front().files);
    EXPECT_EQ(*out.report.rows.front().files,
              (std::vector<std::string>{"PC001/a_log/20261207.txt", "PC001/a_log/20261208.txt"}));
    EXPECT_LE(lastDone, 3u);

    struct Expected {
        const char* file;
        uint32_t line;
        bool failed;
    };
    const Expected expected[] = {
        {"missing", 0, true},
        {"PC001/a_log/20261207.txt", 3, false},
        {"PC001/a_log/20261208.txt", 0, true},
        {"PC002/b_log/20261207.txt", 3, false},
    };
    ASSERT_EQ(out.problems.size(), std::size(expected));
    ASSERT_EQ(out.report.problems.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].file);
        EXPECT_EQ(out.report.problems[i].file, expected[i].file);
        EXPECT_EQ(out.report.problems[i].line, expected[i].line);
        EXPECT_EQ(out.problems[i].failed, expected[i].failed);
    }
    EXPECT_EQ(FormatProblemLine(out.problems[1]), out.problems[1].path + ":3: " + out.problems[1].problem.message);
}

TEST(ReadLogs, AFileOfNoiseGivesAFewLinesThenACount)
{
    SourceFile file{0, "in/x_log/20261207.txt", "x_log/20261207.txt"};
    FileLines lines;
    for (uint32_t n = 1; n <= 25; ++n) lines.badLines.push_back(n * 2);
    lines.tornLine = 51;
    std::vector<InputProblem> problems = DescribeDamage(file, lines);
    ASSERT_EQ(problems.size(), 12u);  // ten lines, how many more, the torn end
    EXPECT_EQ(problems[9].problem.line, 20u);
    EXPECT_EQ(problems[10].problem.line, 22u);
    EXPECT_NE(problems[10].problem.message.find("15 more"), std::string::npos);
    EXPECT_EQ(problems[11].problem.line, 51u);
    for (const InputProblem& p : problems) {
        EXPECT_EQ(p.problem.file, "x_log/20261207.txt");
        EXPECT_FALSE(p.failed) << "damage inside a file that was read is no read failure";
    }
}

}  // namespace
