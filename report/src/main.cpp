// stillsentinel-report: the command line around the report.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "double_click.h"
#include "file_replace.h"
#include "output_sink.h"
#include "options.h"
#include "outputs.h"
#include "platform.h"
#include "read_logs.h"
#include "read_report.h"
#include "sources.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* PROGRAM = "stillsentinel-report";
constexpr int EXIT_UNREAD = 1, EXIT_USAGE = 2;

bool WriteOut(const std::string& bytes)
{
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

// "reading 1234/5000 files" on a terminal once reading has taken a second, redrawn in place.
struct ProgressLine {
    bool enabled = false;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    size_t shownWidth = 0;
};

void ShowProgress(ProgressLine& progress, size_t done, size_t total)
{
    if (!progress.enabled || std::chrono::steady_clock::now() - progress.start < std::chrono::seconds(1)) return;
    std::string text = "reading " + std::to_string(done) + "/" + std::to_string(total) + " files";
    size_t width = text.size();
    if (width < progress.shownWidth) text.append(progress.shownWidth - width, ' ');
    progress.shownWidth = width;
    WriteStandardError("\r" + text);
}

void ClearProgress(ProgressLine& progress)
{
    if (progress.shownWidth != 0) WriteStandardError("\r" + std::string(progress.shownWidth, ' ') + "\r");
    progress.shownWidth = 0;
}

// The folder and those above it that are missing.
bool MakeFolders(const fs::path& folder)
{
    fs::path parent = folder.parent_path();
    EntryKind kind = EntryKind::Other;
    if (FindKind(folder.u8string(), kind) != FileError::None && !parent.empty() && parent != folder &&
        !MakeFolders(parent))
        return false;
    return MakeFolder(folder.u8string()) == FileError::None;
}

int ReportUsageError(const std::string& message)
{
    WriteStandardError(std::string(PROGRAM) + ": " + message + "\nTry '" + PROGRAM + " --help' for more.\n");
    return EXIT_USAGE;
}

// One output, written into the sink piece by piece as it is formatted, so that
// no output is held whole.
bool WriteOutput(const Report& report, OutputFormat format, const Options& options, OutputSink& sink)
{
    if (format == OutputFormat::Html) return WriteHtml(report, sink);
    if (format == OutputFormat::JsonLines) return WriteJsonLines(report, sink);
    if (format == OutputFormat::MonthlyJsonLines) return WriteMonthlyJsonLines(report, sink);
    size_t unmappable = 0;
    bool written = format == OutputFormat::MonthlyCsv
                       ? WriteMonthlyCsv(report, options.csvEncoding, sink, &unmappable)
                       : WriteCsv(report, options.csvEncoding, sink, &unmappable);
    if (unmappable != 0)
        WriteStandardError(std::string(PROGRAM) + ": note: " + std::to_string(unmappable) +
                           " characters have no CP932 form and were written as '?' in the CSV\n");
    return written;
}

bool WriteReportFile(const Report& report, OutputFormat format, const Options& options, const char* name)
{
    std::string path = (fs::u8path(options.outDir) / name).u8string(), reason;
    ReplacingFile file;
    bool written = BeginReplacing(file, path, reason);
    if (written) {
        OutputSink sink;
        sink.write = [&](std::string_view piece) {
            AppendReplacing(file, piece);
            return file.error == FileError::None;
        };
        if (format == OutputFormat::Html)
            WriteHtmlBesideFiles(report, sink);  // which links to the CSV files
        else
            WriteOutput(report, format, options, sink);
        written = CommitReplacing(file, reason);
    }
    if (!written) WriteStandardError(path + ": " + reason + "\n");
    return written;
}

// The five files; the page, the costly one, on a thread of its own.
bool WriteReportFiles(const Report& report, const Options& options)
{
    bool pageWritten = false;
    std::thread page([&] { pageWritten = WriteReportFile(report, OutputFormat::Html, options, "report.html"); });
    bool written = WriteReportFile(report, OutputFormat::Csv, options, "report.csv");
    written = WriteReportFile(report, OutputFormat::JsonLines, options, "report.jsonl") && written;
    written = WriteReportFile(report, OutputFormat::MonthlyCsv, options, "monthly.csv") && written;
    written = WriteReportFile(report, OutputFormat::MonthlyJsonLines, options, "monthly.jsonl") && written;
    page.join();
    return written && pageWritten;
}

bool WriteStandardOutput(const Report& report, const Options& options)
{
    OutputSink sink;
    sink.write = [](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
    };
    return WriteOutput(report, options.format, options, sink) && std::fflush(stdout) == 0;
}

// A usage error, the help or the version: the answer needs no logs.
bool AnswersWithoutReading(const ParsedOptions& parsed, int& code)
{
    if (!parsed.error.empty()) code = ReportUsageError(parsed.error);
    else if (parsed.options.help) code = WriteOut(FormatHelp()) ? 0 : EXIT_UNREAD;
    else if (parsed.options.version) code = WriteOut(FormatVersion()) ? 0 : EXIT_UNREAD;
    else return false;
    return true;
}

// Reads the logs and the files beside them, and writes what the options ask
// for, the problems on standard error in the words of describe.
ReadOutcome ReadAndWrite(Discovery discovery, const Options& options, std::string (*describe)(const InputProblem&),
                         bool& written)
{
    ProgressLine progress;
    progress.enabled = StandardErrorIsTerminal();
    ReadOutcome outcome = ReadReport(std::move(discovery), options,
                                     [&](size_t done, size_t total) { ShowProgress(progress, done, total); });
    ClearProgress(progress);
    std::string messages;
    for (const InputProblem& problem : outcome.problems) messages += describe(problem) + "\n";
    WriteStandardError(messages);

    written = options.outDir.empty() || WriteReportFiles(outcome.report, options);
    if (options.format != OutputFormat::None && !WriteStandardOutput(outcome.report, options)) {
        WriteStandardError(std::string(PROGRAM) + ": cannot write to standard output\n");
        written = false;
    }
    return outcome;
}

int RunCommandLine(const std::vector<std::string>& args)
{
    ParsedOptions parsed = ParseOptions(args);
    int code = 0;
    if (AnswersWithoutReading(parsed, code)) return code;
    const Options& options = parsed.options;

    Discovery discovery = DiscoverSources(options.paths);
    if (!options.outDir.empty()) {
        std::string logFolder = FindLogFolderHolding(discovery.sources, options.outDir);
        if (!logFolder.empty())
            return ReportUsageError("--out " + options.outDir + " is in " + logFolder +
                                    ", a log folder being read; write the report elsewhere");
        // Before the reading, so that a folder that cannot be made costs no wait.
        if (!MakeFolders(fs::u8path(options.outDir))) {
            WriteStandardError(options.outDir + ": cannot make the output folder\n");
            return EXIT_UNREAD;
        }
    }
    bool written = false;
    ReadOutcome outcome = ReadAndWrite(std::move(discovery), options, FormatProblemLine, written);
    return outcome.allRead && written ? 0 : EXIT_UNREAD;
}

// A new folder under the first parent that takes one; empty when none does.
std::string MakeReportFolder(const std::vector<std::string>& parents, CivilSeconds now)
{
    constexpr int ATTEMPTS = 100;
    for (const std::string& parent : parents) {
        for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
            fs::path folder = fs::u8path(parent) / fs::u8path(ReportFolderName(now, attempt));
            EntryKind kind = EntryKind::Other;
            if (FindKind(folder.u8string(), kind) == FileError::None) continue;
            if (!MakeFolders(folder)) break;
            return folder.u8string();
        }
    }
    return {};
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<FolderEntry> entries;
    std::vector<std::string> names;
    ListFolder(folder, entries);
    for (const FolderEntry& entry : entries)
        if (entry.kind == EntryKind::File) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

// As a command line with --out would, into a new folder of its own; then the
// page in the browser.
int RunDoubleClick(const std::vector<std::string>& args, const Launch& launch, const LaunchActions& actions)
{
    ParsedOptions parsed = ParseDoubleClick(args, launch.exeFolder);
    int code = 0;
    if (AnswersWithoutReading(parsed, code)) return code;
    Options options = parsed.options;

    Discovery discovery = DiscoverSources(options.paths);
    ReadCounts counts = CountFound(discovery);
    if (counts.files != 0) options.outDir = MakeReportFolder(ReportParents(launch, discovery.sources), launch.now);
    bool written = false;
    // Without a folder, for the problems alone.
    ReadOutcome outcome = ReadAndWrite(std::move(discovery), options, FormatProblemInJapanese, written);
    written = written && !options.outDir.empty();
    std::vector<std::string> files = written ? FilesIn(options.outDir) : std::vector<std::string>{};
    WriteStandardError("\n" + FormatDoubleClickSummary(counts, outcome, options.outDir, files));
    std::string page = (fs::u8path(options.outDir) / "report.html").u8string();
    if (written && !actions.openPage(page))
        WriteStandardError("ブラウザーで開けませんでした。" + page + " を開いてください。\n");
    return outcome.allRead && written ? 0 : EXIT_UNREAD;
}

}  // namespace

int RunReport(const std::vector<std::string>& args, const Launch& launch, const LaunchActions& actions)
{
    if (!IsDoubleClick(args, launch.ownConsole)) return RunCommandLine(args);
    int code = RunDoubleClick(args, launch, actions);
    WriteStandardError("\nEnter キーを押すと閉じます。\n");
    actions.waitForEnter();
    return code;
}
