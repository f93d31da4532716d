#include "read_logs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

#include "file_read.h"
#include "line_reader.h"
#include "user_names.h"
#include "users_union.h"

namespace {

constexpr size_t BAD_LINES_SHOWN = 10;

struct SourceResult {
    std::vector<DayRow> rows;
    std::vector<InputProblem> problems;
    bool allRead = true;
};

SourceResult ReadSource(const Source& source, const TimelineOptions& options, std::atomic<size_t>& filesDone)
{
    SourceResult result;
    auto names = std::make_shared<std::vector<std::string>>();
    for (const SourceFile& file : source.files) names->push_back(file.display);
    SourceTimeline timeline = StartSource(source.identity, options, names);
    std::string bytes;
    for (size_t i = 0; i < source.files.size(); ++i) {
        const SourceFile& file = source.files[i];
        FileError error = ReadWholeFile(file.path, DAILY_FILE_LIMIT, bytes);
        if (error != FileError::None) {
            result.problems.push_back({file.path,
                Problem{file.display, 0, DescribeFileError(error, FileAction::Read), ProblemKind::FileError, error},
                true});
            result.allRead = false;
        } else {
            FileLines lines = ReadLogLines(bytes, file.day);
            for (InputProblem& p : DescribeDamage(file, lines)) result.problems.push_back(std::move(p));
            for (uint32_t line : FeedFile(timeline, lines, static_cast<uint32_t>(i), file.day)) {
                result.problems.push_back({file.path, Problem{file.display, line,
                    "earlier than a line before it (the clock was set back); counted as the same moment",
                    ProblemKind::ClockSetBack}, false});
            }
        }
        ++filesDone;
    }
    result.rows = FinishSource(timeline);
    return result;
}

// A night-shift worker's day begins at their own hour.
TimelineOptions OptionsFor(const Source& source, TimelineOptions options,
                           const std::map<std::string, CivilSeconds>& userDayStarts)
{
    auto found = userDayStarts.find(FoldUserName(source.identity.user));
    if (found != userDayStarts.end()) options.dayStartS = found->second;
    return options;
}

}  // namespace

std::vector<InputProblem> DescribeDamage(const SourceFile& file, const FileLines& lines)
{
    std::vector<InputProblem> problems;
    auto add = [&](uint32_t line, ProblemKind kind, std::string message, uint32_t more) {
        Problem problem{file.display, line, std::move(message), kind};
        problem.more = more;
        problems.push_back({file.path, std::move(problem), false});
    };
    auto addFew = [&](const std::vector<uint32_t>& numbers, ProblemKind kind, const char* message, const char* more) {
        size_t shown = std::min(numbers.size(), BAD_LINES_SHOWN);
        for (size_t i = 0; i < shown; ++i) add(numbers[i], kind, message, 0);
        uint32_t rest = static_cast<uint32_t>(numbers.size() - shown);
        if (rest != 0) add(numbers[shown], kind, std::to_string(rest) + more, rest);
    };
    addFew(lines.badLines, ProblemKind::NotLogLine, "not a log line (YYYY/MM/DD HH:MM:SS - text); not counted",
           " more lines that are not log lines");
    addFew(lines.farDated, ProblemKind::FarDated, "dated more than a day away from the file's date; not counted",
           " more lines dated more than a day away from the file's date");
    if (lines.tornLine != 0)
        add(lines.tornLine, ProblemKind::TornLine, "the last line is unfinished (no line end); not counted", 0);
    return problems;
}

std::string FormatProblemLine(const InputProblem& problem)
{
    std::string text = problem.path;
    if (problem.problem.line != 0) text += ":" + std::to_string(problem.problem.line);
    return text + ": " + problem.problem.message;
}

ReadOutcome ReadLogs(Discovery discovery, const TimelineOptions& options, bool mergeUsers, const ProgressFn& progress,
                     const std::map<std::string, CivilSeconds>& userDayStarts)
{
    const std::vector<Source>& sources = discovery.sources;
    size_t filesTotal = 0;
    for (const Source& s : sources) filesTotal += s.files.size();

    // A user's union also counts the days a PC was only locked or asleep.
    TimelineOptions sourceOptions = options;
    sourceOptions.keepInactiveDays = mergeUsers;
    std::vector<SourceResult> results(sources.size());
    std::atomic<size_t> nextSource{0}, filesDone{0};
    size_t threadCount = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), sources.size());
    size_t threadsLeft = threadCount;
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::thread> threads;
    for (size_t t = 0; t < threadCount; ++t) {
        threads.emplace_back([&] {
            for (size_t i = nextSource++; i < sources.size(); i = nextSource++)
                results[i] = ReadSource(sources[i], OptionsFor(sources[i], sourceOptions, userDayStarts), filesDone);
            std::lock_guard<std::mutex> lock(mutex);
            --threadsLeft;
            finished.notify_all();
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return threadsLeft == 0; }))
            if (progress) progress(filesDone.load(), filesTotal);
    }
    for (std::thread& thread : threads) thread.join();

    ReadOutcome outcome;
    outcome.problems = std::move(discovery.problems);
    for (const InputProblem& p : outcome.problems) outcome.allRead = outcome.allRead && !p.failed;
    size_t rowCount = 0;
    for (const SourceResult& result : results) rowCount += result.rows.size();
    std::vector<DayRow> rows;
    rows.reserve(rowCount);  // the rows are most of the memory: moved once, each source's freed
    for (SourceResult& result : results) {
        std::move(result.rows.begin(), result.rows.end(), std::back_inserter(rows));
        std::vector<DayRow>().swap(result.rows);
        std::move(result.problems.begin(), result.problems.end(), std::back_inserter(outcome.problems));
        outcome.allRead = outcome.allRead && result.allRead;
    }
    outcome.report.rows = mergeUsers ? MergeUsers(rows) : std::move(rows);
    outcome.report.dayStartS = options.dayStartS;
    for (const InputProblem& p : outcome.problems) outcome.report.problems.push_back(p.problem);
    return outcome;
}
