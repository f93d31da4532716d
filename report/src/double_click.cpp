#include "double_click.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "civil_time.h"
#include "problem_words.h"

namespace fs = std::filesystem;

namespace {

bool AsksForOutput(const std::string& arg)
{
    for (const char* name : {"--out", "--format"}) {
        std::string option = name;
        if (arg == option || arg.rfind(option + "=", 0) == 0) return true;
    }
    return false;
}

std::string Join(const std::vector<std::string>& parts, const char* separator)
{
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

}  // namespace

bool IsDoubleClick(const std::vector<std::string>& args, bool ownConsole)
{
    if (!ownConsole) return false;
    auto end = std::find(args.begin(), args.end(), std::string("--"));
    return std::none_of(args.begin(), end, AsksForOutput);
}

ParsedOptions ParseDoubleClick(const std::vector<std::string>& args, const std::string& exeFolder)
{
    // The command line that would ask for the same, so that the parser's own
    // checks apply; the folder named for --out is only a stand-in.
    std::vector<std::string> full = {"--out", exeFolder};
    full.insert(full.end(), args.begin(), args.end());
    ParsedOptions parsed = ParseOptions(full);
    if (parsed.options.paths.empty() && !parsed.options.help && !parsed.options.version) {
        full.push_back(exeFolder);
        parsed = ParseOptions(full);
    }
    parsed.options.outDir.clear();
    return parsed;
}

std::vector<std::string> ReportParents(const Launch& launch, const std::vector<Source>& sources)
{
    std::vector<std::string> parents;
    auto add = [&](const fs::path& folder) {
        std::string path = folder.u8string();
        if (FindLogFolderHolding(sources, path).empty()) parents.push_back(path);
    };
    if (!launch.exeFolder.empty()) add(fs::u8path(launch.exeFolder) / "reports");
    if (!launch.localAppData.empty()) add(fs::u8path(launch.localAppData) / "StillSentinel" / "reports");
    return parents;
}

std::string ReportFolderName(CivilSeconds now, int attempt)
{
    std::string iso = FormatIsoTime(now);  // 2026-12-09T14:30:12
    std::string name = iso.substr(0, 10) + "_" + iso.substr(11, 2) + iso.substr(14, 2) + iso.substr(17, 2);
    return attempt == 0 ? name : name + "_" + std::to_string(attempt + 1);
}

std::string FormatProblemInJapanese(const InputProblem& problem)
{
    std::string where = problem.path;
    if (problem.problem.line != 0) where += "（" + std::to_string(problem.problem.line) + " 行目）";
    return where + ": " + DescribeProblemInJapanese(problem.problem);
}

ReadCounts CountFound(const Discovery& discovery)
{
    std::set<std::string> places, users;
    ReadCounts counts;
    for (const Source& source : discovery.sources) {
        places.insert(source.identity.place);
        users.insert(source.identity.user);
        counts.files += source.files.size();
    }
    counts.places = places.size();
    counts.users = users.size();
    return counts;
}

std::string FormatDoubleClickSummary(const ReadCounts& counts, const ReadOutcome& outcome, const std::string& folder,
                                     const std::vector<std::string>& written)
{
    if (counts.files == 0)
        return "ログが見つかりませんでした。\n"
               "ログのフォルダー（名前が _log で終わるフォルダー）か、それを集めたフォルダーを、"
               "このプログラムのアイコンにドラッグ＆ドロップしてください。\n";
    std::set<int64_t> days;
    for (const DayRow& row : outcome.report.rows) days.insert(row.day);
    std::string text = "読み込んだログ: PC " + std::to_string(counts.places) + " 台、ユーザー " +
                       std::to_string(counts.users) + " 人、ファイル " + std::to_string(counts.files) + " 個、" +
                       std::to_string(days.size()) + " 日分";
    if (!days.empty()) text += "（" + FormatDate(*days.begin()) + " ～ " + FormatDate(*days.rbegin()) + "）";
    text += "\n";
    if (!outcome.problems.empty())
        text += "入力の問題が " + std::to_string(outcome.problems.size()) + " 件あります（上に一覧" +
                (written.empty() ? "" : "。report.html にも載せています") + "）。\n";
    if (folder.empty())
        return text + "レポートを保存するフォルダーを作れませんでした"
                      "（このプログラムの隣の reports にも、%LOCALAPPDATA%\\StillSentinel\\reports にも）。\n";
    if (written.empty()) return text + "レポートのファイルを書けませんでした: " + folder + "\n";
    return text + "レポートの保存先: " + folder + "\n  " + Join(written, "、") + "\n";
}
