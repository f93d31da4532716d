#include "double_click.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "day_checks.h"
#include "platform.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace {

const char* const READ = u8"PC 1 台、ユーザー 1 人、ファイル 1 個、1 日分（2026-12-07 ～ 2026-12-07）";

using DoubleClick = TestFolder;

// The entry as Explorer starts it (a console of its own) or a prompt does; each
// row runs once per report folder it expects, at the same second.
TEST_F(DoubleClick, WritesANewFolderOpensThePageAndWaits)
{
    const struct {
        const char* what;
        std::vector<const char*> logs, inTheWay;  // log folders made; files where a folder would go
        const char* exe;
        std::vector<std::string> args;
        bool ownConsole, held;  // held: waits for Enter
        std::vector<const char*> reports;  // the report folders expected, one per run
        int code;
        const char* says;
    } rows[] = {
        {"the exe among the collected logs", {"app/PC001/tanaka_log"}, {}, "app", {}, true, true,
         {"app/reports/2026-12-09_143012", "app/reports/2026-12-09_143012_2"}, 0, READ},
        {"a folder dropped on the exe", {"logs/PC001/tanaka_log"}, {}, "app", {Path("logs")}, true, true,
         {"app/reports/2026-12-09_143012"}, 0, u8"20261207.txt（3 行目）: 読めない行です"},
        {"no reports beside the exe", {"app/PC001/tanaka_log"}, {"app/reports"}, "app", {}, true, true,
         {"local/StillSentinel/reports/2026-12-09_143012"}, 0, READ},
        {"the exe in a log folder", {"PC001/tanaka_log"}, {}, "PC001/tanaka_log", {}, true, true,
         {"local/StillSentinel/reports/2026-12-09_143012"}, 0, READ},
        {"nowhere to write", {"app/PC001/tanaka_log"}, {"app/reports", "local"}, "app", {}, true, true, {}, 1,
         u8"レポートを保存するフォルダーを作れませんでした"},
        {"no logs", {}, {}, "app", {}, true, true, {}, 1, u8"ログが見つかりませんでした"},
        {"a command prompt", {"app/PC001/tanaka_log"}, {}, "app", {}, false, false, {}, 2, "give --out DIR"},
        {"a script that names its output", {"app/PC001/tanaka_log"}, {}, "app", {"--out", Path("out"), Path("app")},
         true, false, {}, 0, "20261207.txt:3: "},
    };
    const CivilSeconds now = At(9, 14, 30, 12);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(root_);
        fs::create_directories(root_ / "app");
        for (const char* log : row.logs) Make({(std::string(log) + "/20261207.txt").c_str()}, SHORT_DAY);
        for (const char* file : row.inTheWay) Make({file});  // in the way
        std::vector<std::string> opened;
        int waits = 0;
        LaunchActions actions{[&](const std::string& page) { return opened.push_back(page), true; },
                              [&] { ++waits; }};
        for (size_t run = 0; run < std::max<size_t>(row.reports.size(), 1); ++run) {
            testing::internal::CaptureStderr();
            EXPECT_EQ(RunReport(row.args, {row.ownConsole, Path(row.exe), Path("local"), now}, actions), row.code);
            std::string said = testing::internal::GetCapturedStderr();
            EXPECT_NE(said.find(row.says), std::string::npos) << said;
            EXPECT_EQ(waits, row.held ? (int)run + 1 : 0);
            if (row.reports.empty()) continue;
            fs::path folder = (root_ / row.reports[run]).make_preferred();  // as the summary spells it
            std::ifstream page(folder / "report.html");
            std::string html(std::istreambuf_iterator<char>(page), {});
            EXPECT_TRUE(fs::exists(folder / "report.csv") && fs::exists(folder / "monthly.csv"));
            EXPECT_NE(html.find("<a href=\"report.csv\">"), std::string::npos);  // the page links to them
            ASSERT_EQ(opened.size(), run + 1);
            EXPECT_EQ(fs::u8path(opened[run]), folder / "report.html");
            EXPECT_NE(said.find(folder.u8string()), std::string::npos) << said;
        }
        EXPECT_EQ(opened.size(), row.reports.size());
        for (const char* log : row.logs) EXPECT_FALSE(fs::exists(root_ / log / "reports"));  // never in a log folder
    }
}

}  // namespace
