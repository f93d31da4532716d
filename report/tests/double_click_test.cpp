#include "double_click.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "civil_time.h"
#include "log/event_texts.h"
#include "platform.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace {

const char* const DAY = "2026/12/07 09:00:00 - " EVENT_TEXT_START "\r\n"
                        "not a line\r\n"
                        "2026/12/07 09:00:10 - " EVENT_TEXT_EXIT "\r\n";
const CivilSeconds NOW = DaysFromCivil(2026, 12, 9) * SECONDS_PER_DAY + 14 * 3600 + 30 * 60 + 12;
const char* const NAME = "2026-12-09_143012";

TEST(DoubleClick, OnlyAnOwnConsoleWithNoOutputAskedFor)
{
    const struct { std::vector<std::string> args; bool ownConsole, expected; } rows[] = {
        {{}, true, true},
        {{"D:\\logs\\PC001", "D:\\logs\\PC002"}, true, true},
        {{"--merge-users", "D:\\logs"}, true, true},
        {{"--", "--out"}, true, true},  // a dropped file of that name
        {{}, false, false},  // a command prompt, or any POSIX terminal
        {{"--out", "x", "logs"}, true, false},
        {{"--format=csv", "logs"}, true, false},
        {{"logs", "--out=x"}, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        EXPECT_EQ(IsDoubleClick(row.args, row.ownConsole), row.expected);
    }
}

TEST(DoubleClick, ReadsTheDroppedPathsOrTheExesFolder)
{
    const struct { std::vector<std::string> args; std::vector<std::string> paths; const char* error; } rows[] = {
        {{}, {"C:\\app"}, ""},
        {{"D:\\a", "D:\\b"}, {"D:\\a", "D:\\b"}, ""},
        {{"--merge-users"}, {"C:\\app"}, ""},
        {{"--"}, {"C:\\app"}, ""},
        {{"--from", "bad"}, {}, "--from needs a date"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        ParsedOptions parsed = ParseDoubleClick(row.args, "C:\\app");
        EXPECT_EQ(parsed.error.substr(0, std::string(row.error).size()), row.error);
        if (*row.error == '\0') {
            EXPECT_EQ(parsed.options.paths, row.paths);
        }
        EXPECT_EQ(parsed.options.outDir, "");  // chosen once the logs are found
    }
    EXPECT_TRUE(ParseDoubleClick({"--merge-users"}, "C:\\app").options.mergeUsers);
}

class DoubleClickRun : public TestFolder {
protected:
    void MakeLog(const std::string& folder) const
    {
        fs::create_directories(root_ / folder);
        std::ofstream(root_ / folder / "20261207.txt", std::ios::binary) << DAY;
    }
};

TEST_F(DoubleClickRun, WritesANewFolderOpensThePageAndWaits)
{
    const char* const read = u8"PC 1 台、ユーザー 1 人、ファイル 1 個、1 日分（2026-12-07 ～ 2026-12-07）";
    const struct {
        const char* what;
        std::vector<const char*> logs;  // log folders made under the test's folder
        const char* exe;
        std::vector<std::string> args;
        bool ownConsole;
        std::vector<const char*> inTheWay;  // files where a folder would go, so that none can be made there
        std::vector<const char*> reports;   // the report folders expected, one per run of the row
        int code;
        const char* says;
    } rows[] = {
        {"the exe among the collected logs", {"app/PC001/tanaka_log"}, "app", {}, true, {},
         {"app/reports/2026-12-09_143012", "app/reports/2026-12-09_143012_2"}, 0, read},
        {"a folder dropped on the exe", {"collected/PC001/tanaka_log"}, "app", {Path("collected")}, true, {},
         {"app/reports/2026-12-09_143012"}, 0, u8"20261207.txt（2 行目）: 読めない行です"},
        {"no reports beside the exe", {"app/PC001/tanaka_log"}, "app", {}, true, {"app/reports"},
         {"local/StillSentinel/reports/2026-12-09_143012"}, 0, read},
        {"the exe in a log folder", {"PC001/tanaka_log"}, "PC001/tanaka_log", {}, true, {},
         {"local/StillSentinel/reports/2026-12-09_143012"}, 0, read},
        {"nowhere to write", {"app/PC001/tanaka_log"}, "app", {}, true, {"app/reports", "local"}, {}, 1,
         u8"レポートを保存するフォルダーを作れませんでした"},
        {"no logs", {}, "app", {}, true, {}, {}, 1, u8"ログが見つかりませんでした"},
        {"a command prompt", {"app/PC001/tanaka_log"}, "app", {}, false, {}, {}, 2, "give --out DIR"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(root_);
        fs::create_directories(root_ / "app");
        for (const char* log : row.logs) MakeLog(log);
        for (const char* file : row.inTheWay) std::ofstream(root_ / file) << "in the way";
        Launch launch{row.ownConsole, Path(row.exe), Path("local"), NOW};
        std::vector<std::string> opened;
        int waits = 0;
        LaunchActions actions{[&](const std::string& page) { return opened.push_back(page), true; },
                              [&] { ++waits; }};
        for (size_t run = 0; run < std::max<size_t>(row.reports.size(), 1); ++run) {
            testing::internal::CaptureStderr();
            EXPECT_EQ(RunReport(row.args, launch, actions), row.code);
            std::string said = testing::internal::GetCapturedStderr();
            EXPECT_NE(said.find(row.says), std::string::npos) << said;
            EXPECT_EQ(waits, row.ownConsole ? (int)run + 1 : 0);
            if (row.reports.empty()) continue;
            fs::path folder = root_ / row.reports[run];
            EXPECT_TRUE(fs::exists(folder / "report.csv") && fs::exists(folder / "report.jsonl"));
            ASSERT_EQ(opened.size(), run + 1);
            EXPECT_EQ(fs::u8path(opened[run]), folder / "report.html");
            EXPECT_NE(said.find(folder.u8string()), std::string::npos) << said;
        }
        if (row.reports.empty()) {
            EXPECT_EQ(opened.size(), 0u);
        }
        for (const char* log : row.logs) EXPECT_FALSE(fs::exists(root_ / log / "reports"));  // never in a log folder
    }
}

TEST(DoubleClick, FolderNamedByTheLocalTime)
{
    EXPECT_EQ(ReportFolderName(NOW, 0), NAME);
    EXPECT_EQ(ReportFolderName(NOW, 1), std::string(NAME) + "_2");
}

}  // namespace
