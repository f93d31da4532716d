// The command line of stillsentinel-report: what was asked for, as plain values.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "outputs.h"
#include "months.h"
#include "timeline.h"

enum class OutputFormat : uint8_t { None, Csv, JsonLines, Html, MonthlyCsv, MonthlyJsonLines };

struct Options {
    std::vector<std::string> paths;  // UTF-8, in the order given
    std::string outDir;              // empty: no files written
    OutputFormat format = OutputFormat::None;  // None: nothing on standard output
    CsvEncoding csvEncoding = CSV_UTF8;
    std::vector<std::string> holidayFiles;  // --holidays, each given
    std::string attendanceFile;             // empty: no attendance columns
    std::string usersFile;                  // empty: no name and department columns
    int64_t divergenceMin = 30;
    bool mergeUsers = false;
    bool help = false, version = false;
    TimelineOptions timeline;
    MonthRules months;
};

struct ParsedOptions {
    Options options;
    std::string error;  // a usage error when not empty
};

// Parses the arguments after the program name. GNU style: "--opt value" or
// "--opt=value", "--" ends the options, a later value wins.
ParsedOptions ParseOptions(const std::vector<std::string>& args);

// "YYYY-MM-DD" to days since 1970-01-01; false unless the date exists.
bool ParseIsoDate(const std::string& text, int64_t& days);
// "HH:MM" (00:00 to 23:59) to seconds after midnight.
bool ParseClockTime(const std::string& text, int64_t& seconds);

std::string FormatHelp();
std::string FormatVersion();
