// Finding the daily logs under the paths given: which log folders there are,
// whose they are, and which of their files to read in which order.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report_model.h"

struct SourceFile {
    int64_t day = 0;      // the name's date, in days since 1970-01-01
    std::string path;     // UTF-8, as reached from the argument: for opening and for messages
    std::string display;  // place/folder/name, '/'-separated: for the outputs
};

struct Source {
    SourceIdentity identity;
    std::vector<SourceFile> files;  // by date; copies of one date in the order reached
};

// Something about the input itself, met while looking for the logs.
struct InputProblem {
    std::string path;  // as reached from the argument
    Problem problem;   // its file is relative to the argument
    bool failed = false;  // something that could not be read (exit 1), not only a note
};

struct Discovery {
    std::vector<Source> sources;  // by source name, byte order
    std::vector<InputProblem> problems;
};

// Each path is a daily file, a log folder or a folder to search through.
// Directory listings are read in byte order so that every platform finds the
// same order; symbolic links to folders are not followed (they could loop).
Discovery DiscoverSources(const std::vector<std::string>& paths);

// The log folder, as reached, of a file to be read that path is or lies inside
// (so that writing there would add to the logs); empty when there is none.
std::string FindLogFolderHolding(const std::vector<Source>& sources, const std::string& path);

// "20261207.txt" to its date. False for other names and impossible dates.
bool ParseDailyFileName(std::string_view name, int64_t& day);
// Eight digits and ".txt", whatever the digits.
bool HasDailyFileShape(std::string_view name);
// "tanaka_log", with a name before the suffix.
bool IsLogFolderName(std::string_view name);
// The user a folder's logs belong to: its name without "_log".
std::string DeriveUser(std::string_view folderName);
// place "PC001" and folder "tanaka_log": source "PC001/tanaka_log", user "tanaka".
SourceIdentity IdentifySource(const std::string& place, const std::string& folderName);
