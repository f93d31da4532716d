// The report started from Explorer: the exe double-clicked, or log folders
// dropped on it. No options then, so the program decides where to read and
// where to write, and speaks to a person rather than to a script.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "options.h"
#include "read_logs.h"
#include "report_model.h"
#include "sources.h"

// How the program was started, as the system tells it.
struct Launch {
    // The console is the program's own (Explorer made it), not a command prompt's.
    bool ownConsole = false;
    std::string exeFolder;     // UTF-8, absolute
    std::string localAppData;  // the user's local application data; empty when unknown
    CivilSeconds now = 0;      // local time
};

// What a double-click run does beside writing the files.
struct LaunchActions {
    std::function<bool(const std::string& path)> openPage;  // in the default browser
    std::function<void()> waitForEnter;                     // so that the window stays to be read
};

// A console of its own and no output asked for: nothing but Explorer starts
// the program so. A script that gives --out or --format is never held waiting.
bool IsDoubleClick(const std::vector<std::string>& args, bool ownConsole);

// The options of a double-click run: the dropped paths, or the exe's folder
// when none was dropped; outDir is left empty, to be chosen once the logs are found.
ParsedOptions ParseDoubleClick(const std::vector<std::string>& args, const std::string& exeFolder);

// The folders that may hold the new report folder, in order: reports beside
// the exe, then reports in the user's local application data; none of them in
// a log folder being read.
std::vector<std::string> ReportParents(const Launch& launch, const std::vector<Source>& sources);

// "2026-12-09_143012" for the first attempt, then "2026-12-09_143012_2", ...
std::string ReportFolderName(CivilSeconds now, int attempt);

struct ReadCounts {
    size_t places = 0, users = 0, files = 0;
};
ReadCounts CountFound(const Discovery& discovery);

// "D:\\logs\\PC001\\tanaka_log\\20261207.txt（12 行目）: 読めない行です…", for a person
// who reads no English.
std::string FormatProblemInJapanese(const InputProblem& problem);

// What was read, the problems, and where the files are, in Japanese.
// folder: empty when none could be made; written: the names of the files made in it.
std::string FormatDoubleClickSummary(const ReadCounts& counts, const ReadOutcome& outcome, const std::string& folder,
                                     const std::vector<std::string>& written);
