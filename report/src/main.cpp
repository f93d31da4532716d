// stillsentinel-report: the command line around the report.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "file_replace.h"
#include "output_sink.h"
#include "options.h"
#include "outputs.h"
#include "platform.h"
#include "attendance_join.h"
#include "day_holidays.h"
#include "people_join.h"
#include "read_logs.h"
#include "side_files.h"
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

// The files beside the logs are named after the logs' own problems.
void AddSideProblems(ReadOutcome& outcome, std::vector<InputProblem> problems)
{
    for (InputProblem& p : problems) {
        outcome.allRead = outcome.allRead && !p.failed;
        outcome.report.problems.push_back(p.problem);
        outcome.problems.push_back(std::move(p));
    }
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

    // Before the logs: a user's own day start decides how their lines are read.
    std::vector<InputProblem> sideProblems;
    People people;
    bool hasPeople = !options.usersFile.empty() && ReadPeopleFile(options.usersFile, people, sideProblems);

    ProgressLine progress;
    progress.enabled = StandardErrorIsTerminal();
    ReadOutcome outcome = ReadLogs(std::move(discovery), options.timeline, options.mergeUsers,
                                   [&](size_t done, size_t total) { ShowProgress(progress, done, total); },
                                   UserDayStarts(people));
    ClearProgress(progress);
    Attendance attendance;
    // Without the file, no day is flagged for the want of it.
    if (!options.attendanceFile.empty() && ReadAttendanceFile(options.attendanceFile, attendance, sideProblems)) {
        JoinAttendance(outcome.report.rows, attendance, options.divergenceMin);
        outcome.report.hasAttendance = true;
    }
    if (hasPeople) {
        AddPeople(outcome.report.rows, people);
        outcome.report.hasPeople = true;
    }
    NameHolidays(outcome.report.rows, ReadHolidayFiles(options.holidayFiles, sideProblems));
    AddSideProblems(outcome, std::move(sideProblems));
    outcome.report.months = ComputeMonths(outcome.report.rows, options.months);
    std::string messages;
    for (const InputProblem& problem : outcome.problems) messages += FormatProblemLine(problem) + "\n";
    WriteStandardError(messages);

    bool written = options.outDir.empty() || WriteReportFiles(outcome.report, options);
    if (options.format != OutputFormat::None && !WriteStandardOutput(outcome.report, options)) {
        WriteStandardError(std::string(PROGRAM) + ": cannot write to standard output\n");
        written = false;
    }
    return outcome.allRead && written ? 0 : EXIT_UNREAD;
}
