// Reading every source's files into the report, one source per thread.
#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "report_model.h"
#include "sources.h"
#include "timeline.h"

struct ReadOutcome {
    Report report;
    std::vector<InputProblem> problems;  // the same as report.problems, with the paths as reached
    bool allRead = true;                 // no file or folder failed to open or read
};

// Called on the calling thread every tenth of a second or so, with the files read so far.
using ProgressFn = std::function<void(size_t filesDone, size_t filesTotal)>;

// Reads the sources' files (one file per thread in memory at a time) into
// per-day rows, by source and day, or by user and day with mergeUsers. The
// problems found while looking for the logs come first.
// userDayStarts: the day starts of users whose day begins elsewhere than
// options.dayStartS, by folded user name (user_names.h).
ReadOutcome ReadLogs(Discovery discovery, const TimelineOptions& options, bool mergeUsers,
                     const ProgressFn& progress, const std::map<std::string, CivilSeconds>& userDayStarts = {});

// What a daily file's damage looks like as problems; at most a few bad lines
// each, then how many more, so that a file of noise does not flood the output.
std::vector<InputProblem> DescribeDamage(const SourceFile& file, const FileLines& lines);

// "path:line: message", or "path: message" for a whole file.
std::string FormatProblemLine(const InputProblem& problem);
