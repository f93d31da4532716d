// stillsentinel-report: the command line around the report. Arguments and
// console output are the only platform-specific parts here.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "file_read.h"
#include "options.h"
#include "outputs.h"
#include "read_logs.h"
#include "sources.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr const char* PROGRAM = "stillsentinel-report";
constexpr int EXIT_UNREAD = 1, EXIT_USAGE = 2;

bool IsTerminal(FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

// UTF-8 to standard error. A Windows console gets UTF-16, which it shows
// whatever its code page; a file or pipe gets the UTF-8 bytes.
void WriteError(const std::string& text)
{
#ifdef _WIN32
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode)) {
        std::wstring wide(text.size(), L'\0');
        int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), wide.data(), (int)wide.size());
        DWORD written = 0;
        WriteConsoleW(console, wide.data(), (DWORD)n, &written, nullptr);
        return;
    }
#endif
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

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
    WriteError("\r" + text);
}

void ClearProgress(ProgressLine& progress)
{
    if (progress.shownWidth != 0) WriteError("\r" + std::string(progress.shownWidth, ' ') + "\r");
    progress.shownWidth = 0;
}

int ReportUsageError(const std::string& message)
{
    WriteError(std::string(PROGRAM) + ": " + message + "\nTry '" + PROGRAM + " --help' for more.\n");
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
        WriteError(std::string(PROGRAM) + ": note: " + std::to_string(unmappable) +
                   " characters have no CP932 form and were written as '?' in the CSV\n");
    return csv;
}

bool WriteReportFile(const std::string& dir, const char* name, const std::string& bytes)
{
    std::string path = (fs::u8path(dir) / name).u8string(), reason;
    if (WriteFileReplacing(path, bytes, reason)) return true;
    WriteError(path + ": " + reason + "\n");
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

int Run(const std::vector<std::string>& args)
{
    ParsedOptions parsed = ParseOptions(args);
    if (!parsed.error.empty()) return ReportUsageError(parsed.error);
    const Options& options = parsed.options;
    if (options.help) return WriteOut(FormatHelp()) ? 0 : EXIT_UNREAD;
    if (options.version) return WriteOut(FormatVersion()) ? 0 : EXIT_UNREAD;

    // Before the reading, so that a folder that cannot be made costs no wait.
    if (!options.outDir.empty()) {
        std::error_code error;
        fs::create_directories(fs::u8path(options.outDir), error);
        if (error || !fs::is_directory(fs::u8path(options.outDir), error)) {
            WriteError(options.outDir + ": cannot make the output folder\n");
            return EXIT_UNREAD;
        }
    }

    ProgressLine progress;
    progress.enabled = IsTerminal(stderr);
    ReadOutcome outcome = ReadLogs(DiscoverSources(options.paths), options.timeline, options.mergeUsers,
                                   [&](size_t done, size_t total) { ShowProgress(progress, done, total); });
    ClearProgress(progress);
    std::string messages;
    for (const InputProblem& problem : outcome.problems) messages += FormatProblemLine(problem) + "\n";
    WriteError(messages);

    bool written = options.outDir.empty() || WriteReportFiles(outcome.report, options);
    if (options.format != OutputFormat::None && !WriteOut(FormatOutput(outcome.report, options.format, options))) {
        WriteError(std::string(PROGRAM) + ": cannot write to standard output\n");
        written = false;
    }
    return outcome.allRead && written ? 0 : EXIT_UNREAD;
}

}  // namespace

#ifdef _WIN32
// UTF-16 arguments, so that every path reaches the report whole whatever the code page.
int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);  // the outputs' CR LF and LF exactly as formatted
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        int length = (int)wcslen(argv[i]);
        int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], length, nullptr, 0, nullptr, nullptr);
        std::string arg(n, '\0');
        WideCharToMultiByte(CP_UTF8, 0, argv[i], length, arg.data(), n, nullptr, nullptr);
        args.push_back(std::move(arg));
    }
    return Run(args);
}
#else
int main(int argc, char** argv)
{
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
