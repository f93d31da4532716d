// stillsentinel-report: the command line around the report.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "file_replace.h"
#include "options.h"
#include "outputs.h"
#include "platform.h"
#include "read_logs.h"
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

// One output, formatted when it is its turn and freed once written, so that
// at most the page and one other are in memory.
std::string FormatOutput(const Report& report, OutputFormat format, const Options& options)
{
    if (format == OutputFormat::Html) return FormatHtml(report);
    if (format == OutputFormat::JsonLines) return FormatJsonLines(report);
    size_t unmappable = 0;
    std::string csv = FormatCsv(report, options.csvEncoding, &unmappable);
    if (unmappable != 0)
        WriteStandardError(std::string(PROGRAM) + ": note: " + std::to_string(unmappable) +
                           " characters have no CP932 form and were written as '?' in the CSV\n");
    return csv;
}

bool WriteReportFile(const std::string& dir, const char* name, const std::string& bytes)
{
    std::string path = (fs::u8path(dir) / name).u8string(), reason;
    if (WriteFileReplacing(path, bytes, reason)) return true;
    WriteStandardError(path + ": " + reason + "\n");
    return false;
}

// The three files; the page, the costly one, on a thread of its own.
bool WriteReportFiles(const Report& report, const Options& options)
{
    bool pageWritten = false;
    std::thread page([&] {
        pageWritten = WriteReportFile(options.outDir, "report.html", FormatHtml(report));
    });
    bool written = WriteReportFile(options.outDir, "report.csv", FormatOutput(report, OutputFormat::Csv, options));
    written = WriteReportFile(options.outDir, "report.jsonl", FormatJsonLines(report)) && written;
    page.join();
    return written && pageWritten;
}

}  // namespace

int RunReport(const std::vector<std::string>& args)
{
    ParsedOptions parsed = ParseOptions(args);
    if (!parsed.error.empty()) return ReportUsageError(parsed.error);
    const Options& options = parsed.options;
    if (options.help) return WriteOut(FormatHelp()) ? 0 : EXIT_UNREAD;
    if (options.version) return WriteOut(FormatVersion()) ? 0 : EXIT_UNREAD;

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

    ProgressLine progress;
    progress.enabled = StandardErrorIsTerminal();
    ReadOutcome outcome = ReadLogs(std::move(discovery), options.timeline, options.mergeUsers,
                                   [&](size_t done, size_t total) { ShowProgress(progress, done, total); });
    ClearProgress(progress);
    std::string messages;
    for (const InputProblem& problem : outcome.problems) messages += FormatProblemLine(problem) + "\n";
    WriteStandardError(messages);

    bool written = options.outDir.empty() || WriteReportFiles(outcome.report, options);
    if (options.format != OutputFormat::None && !WriteOut(FormatOutput(outcome.report, options.format, options))) {
        WriteStandardError(std::string(PROGRAM) + ": cannot write to standard output\n");
        written = false;
    }
    return outcome.allRead && written ? 0 : EXIT_UNREAD;
}
