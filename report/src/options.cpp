#include "options.h"

#include <cctype>
#include <cstdlib>

#include "cell_values.h"
#include "civil_time.h"
#include "res/version.h"

namespace {

constexpr int64_t MAX_GAP_S = SECONDS_PER_DAY;

std::string ToLower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

using Apply = std::string (*)(Options&, const std::string&);

struct OptionRule {
    const char* name;
    bool takesValue;
    Apply apply;
};

std::string ApplyOut(Options& o, const std::string& v)
{
    if (v.empty()) return "--out needs a folder";
    o.outDir = v;
    return {};
}

std::string ApplyFormat(Options& o, const std::string& v)
{
    std::string f = ToLower(v);
    if (f == "csv") o.format = OutputFormat::Csv;
    else if (f == "jsonl") o.format = OutputFormat::JsonLines;
    else if (f == "html") o.format = OutputFormat::Html;
    else if (f == "monthly-csv") o.format = OutputFormat::MonthlyCsv;
    else if (f == "monthly-jsonl") o.format = OutputFormat::MonthlyJsonLines;
    else return "--format must be csv, jsonl, html, monthly-csv or monthly-jsonl, not '" + v + "'";
    return {};
}

std::string ApplyFrom(Options& o, const std::string& v)
{
    if (!ParseIsoDate(v, o.timeline.fromDay)) return "--from needs a date YYYY-MM-DD, not '" + v + "'";
    o.timeline.hasFrom = true;
    return {};
}

std::string ApplyTo(Options& o, const std::string& v)
{
    if (!ParseIsoDate(v, o.timeline.toDay)) return "--to needs a date YYYY-MM-DD, not '" + v + "'";
    o.timeline.hasTo = true;
    return {};
}

std::string ApplyDayStarts(Options& o, const std::string& v)
{
    if (!ParseClockTime(v, o.timeline.dayStartS))
        return "--day-starts needs a time HH:MM from 00:00 to 23:59, not '" + v + "'";
    return {};
}

std::string ApplyGap(Options& o, const std::string& v)
{
    char* end = nullptr;
    long long n = v.empty() || !std::isdigit(static_cast<unsigned char>(v[0])) ? 0 : std::strtoll(v.c_str(), &end, 10);
    if (end == nullptr || *end != '\0' || n < 1 || n > MAX_GAP_S)
        return "--gap needs whole seconds from 1 to " + std::to_string(MAX_GAP_S) + ", not '" + v + "'";
    o.timeline.gapS = n;
    return {};
}

std::string ApplyCsvEncoding(Options& o, const std::string& v)
{
    std::string e = ToLower(v);
    if (e == "utf-8" || e == "utf8") o.csvEncoding = CSV_UTF8;
    else if (e == "cp932") o.csvEncoding = CSV_CP932;
    else return "--csv-encoding must be utf-8 or cp932, not '" + v + "'";
    return {};
}

std::string ApplyWorkday(Options& o, const std::string& v)
{
    // A length as a users or attendance file writes a time, but without seconds.
    int64_t s = 0;
    if (!ParseCellTime(v, s) || v.size() != v.find(':') + 3 || s > SECONDS_PER_DAY)
        return "--workday needs a length H:MM up to 24:00, not '" + v + "'";
    o.months.workdayS = s;
    return {};
}

std::string ApplyOvertimeLimit(Options& o, const std::string& v)
{
    int h = 0;
    // A month's hours: at most 31 whole days.
    if (v.empty() || v.size() > 3 || !ParseDigits(v, h) || h > 744)
        return "--overtime-limit needs whole hours from 0 to 744, not '" + v + "'";
    o.months.overtimeLimitS = int64_t{h} * 3600;
    return {};
}

std::string ApplyHolidays(Options& o, const std::string& v)
{
    if (v.empty()) return "--holidays needs a file";
    o.holidayFiles.push_back(v);
    return {};
}

std::string ApplyAttendance(Options& o, const std::string& v)
{
    if (v.empty()) return "--attendance needs a file";
    o.attendanceFile = v;
    return {};
}

std::string ApplyUsers(Options& o, const std::string& v)
{
    if (v.empty()) return "--users needs a file";
    o.usersFile = v;
    return {};
}

std::string ApplyDivergence(Options& o, const std::string& v)
{
    int n = 0;
    if (v.empty() || v.size() > 4 || !ParseDigits(v, n) || n > 1440)
        return "--divergence needs whole minutes from 0 to 1440, not '" + v + "'";
    o.divergenceMin = n;
    return {};
}

std::string ApplyMergeUsers(Options& o, const std::string&) { o.mergeUsers = true; return {}; }
std::string ApplyHelp(Options& o, const std::string&) { o.help = true; return {}; }
std::string ApplyVersion(Options& o, const std::string&) { o.version = true; return {}; }

const OptionRule OPTIONS[] = {
    {"--out", true, ApplyOut},
    {"--format", true, ApplyFormat},
    {"--from", true, ApplyFrom},
    {"--to", true, ApplyTo},
    {"--day-starts", true, ApplyDayStarts},
    {"--gap", true, ApplyGap},
    {"--csv-encoding", true, ApplyCsvEncoding},
    {"--holidays", true, ApplyHolidays},
    {"--workday", true, ApplyWorkday},
    {"--overtime-limit", true, ApplyOvertimeLimit},
    {"--attendance", true, ApplyAttendance},
    {"--divergence", true, ApplyDivergence},
    {"--users", true, ApplyUsers},
    {"--merge-users", false, ApplyMergeUsers},
    {"--help", false, ApplyHelp},
    {"-h", false, ApplyHelp},
    {"--version", false, ApplyVersion},
};

const OptionRule* FindOption(const std::string& name)
{
    for (const OptionRule& rule : OPTIONS)
        if (name == rule.name) return &rule;
    return nullptr;
}

// What must hold once every argument is read.
std::string CheckComplete(const Options& o)
{
    if (o.help || o.version) return {};
    if (o.outDir.empty() && o.format == OutputFormat::None)
        return "give --out DIR (writes report.csv, report.jsonl, report.html, monthly.csv and monthly.jsonl) or "
               "--format csv|jsonl|html|monthly-csv|monthly-jsonl (writes to standard output)";
    if (o.paths.empty()) return "give at least one PATH: a daily log file, a <user>_log folder or a folder of collected logs";
    if (o.timeline.hasFrom && o.timeline.hasTo && o.timeline.fromDay > o.timeline.toDay)
        return "--from " + FormatDate(o.timeline.fromDay) + " is after --to " + FormatDate(o.timeline.toDay);
    return {};
}

}  // namespace

bool ParseIsoDate(const std::string& text, int64_t& days)
{
    std::string_view t = text;
    return t.size() == 10 && t[4] == '-' && t[7] == '-' &&
           ParseDateFields(t.substr(0, 4), t.substr(5, 2), t.substr(8, 2), days);
}

bool ParseClockTime(const std::string& text, int64_t& seconds)
{
    int h, m;
    if (text.size() != 5 || text[2] != ':') return false;
    std::string_view t = text;
    if (!ParseDigits(t.substr(0, 2), h) || !ParseDigits(t.substr(3, 2), m) || h > 23 || m > 59) return false;
    seconds = h * 3600 + m * 60;
    return true;
}

ParsedOptions ParseOptions(const std::vector<std::string>& args)
{
    ParsedOptions result;
    // Asking for help is answered whatever else the line holds.
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            result.options.help = true;
            return result;
        }
    }
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // "-" alone is a path, as elsewhere; it names no standard input here.
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            result.options.paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        size_t equals = arg.find('=');
        bool inlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
        std::string name = inlineValue ? arg.substr(0, equals) : arg;
        const OptionRule* rule = FindOption(name);
        if (rule == nullptr) {
            result.error = "unknown option '" + name + "'";
            return result;
        }
        std::string value;
        if (rule->takesValue) {
            if (inlineValue) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                result.error = name + " needs a value";
                return result;
            }
        } else if (inlineValue) {
            result.error = name + " takes no value";
            return result;
        }
        result.error = rule->apply(result.options, value);
        if (!result.error.empty()) return result;
    }
    result.error = CheckComplete(result.options);
    return result;
}

std::string FormatVersion()
{
    return "stillsentinel-report " + std::to_string(APP_VERSION_MAJOR) + "." + std::to_string(APP_VERSION_MINOR) +
           ".0\n";
}

std::string FormatHelp()
{
    return
        "Usage: stillsentinel-report [options] PATH...\n"
        "\n"
        "Reads StillSentinel's daily logs (<user>_log/YYYYMMDD.txt) and reports each\n"
        "user's working days: first and last activity, active, locked, suspended and\n"
        "off time, counts of events and flags for damaged or doubtful days.\n"
        "\n"
        "PATH is a daily log file, a <user>_log folder, or any folder, searched through\n"
        "for <user>_log folders (collected/PC001/tanaka_log/...). Each log folder is one\n"
        "source, named by the path from the given folder (PC001/tanaka_log); the same\n"
        "source reached twice is read as one. A daily file given directly belongs to its\n"
        "folder: the user is the folder's name without _log. Other file names in a log\n"
        "folder are passed over; names of 8 digits with an impossible date are noted.\n"
        "Nothing is ever written into the input.\n"
        "\n"
        "Give --out, --format or both:\n"
        "  --out DIR              write report.csv, report.jsonl, report.html,\n"
        "                         monthly.csv and monthly.jsonl into DIR (made if\n"
        "                         missing; each file appears whole or not at all)\n"
        "  --format FORMAT        write one report to standard output: csv, jsonl,\n"
        "                         html, monthly-csv or monthly-jsonl (a row per person\n"
        "                         and month)\n"
        "\n"
        "Options:\n"
        "  --from YYYY-MM-DD      first day to report (default: the earliest in the logs)\n"
        "  --to YYYY-MM-DD        last day to report (default: the latest in the logs)\n"
        "  --day-starts HH:MM     the time a working day begins (default 00:00); a day\n"
        "                         then runs to that time on the next date\n"
        "  --gap SECONDS          silence, 1 to 86400 s, after which the program counts\n"
        "                         as not running (default: three heartbeat intervals)\n"
        "  --holidays FILE        the company's days off besides the national holidays\n"
        "                         (built in, 2000-2099): one date a line, YYYY-MM-DD or\n"
        "                         YYYY/M/D, optionally ,name; or the government's\n"
        "                         holiday CSV as downloaded (CP932). May be repeated\n"
        "  --workday H:MM         a working day's span, break included (default\n"
        "                         9:00); the span beyond it, or a day off's whole\n"
        "                         span, is the month's overtime estimate\n"
        "  --overtime-limit HOURS flag a month whose overtime estimate is over this many\n"
        "                         hours (default 45)\n"
        "  --attendance FILE      the clocked times (CSV with a header: ユーザー/user,\n"
        "                         日付/date, 出勤/start, 退勤/end; UTF-8 or CP932) beside\n"
        "                         each day: clock_in, clock_out, the minutes of PC use\n"
        "                         before the start and after the end, flags divergence,\n"
        "                         no_attendance, no_pc_record. Users match in any case\n"
        "  --divergence MINUTES   more minutes than this before the start or after\n"
        "                         the end flag a divergence (default 30)\n"
        "  --users FILE           who the users are (CSV with a header: ユーザー/user,\n"
        "                         氏名/name, 部署/department, 日の始まり/day_starts): names\n"
        "                         and departments in the rows; a user's own day start\n"
        "                         (H:MM) overrides --day-starts. Users match in any case\n"
        "  --merge-users          one row per user and day, over all of that user's sources\n"
        "  --csv-encoding ENC     the CSV's encoding: utf-8 (default) or cp932\n"
        "  -h, --help             show this help and exit\n"
        "  --version              show the version and exit\n"
        "Options take their value as --opt VALUE or --opt=VALUE; \"--\" ends the options.\n"
        "\n"
        "Problems in the input go to standard error as PATH:LINE: MESSAGE, and into the\n"
        "HTML report. While reading takes more than a second, standard error shows\n"
        "progress when it is a terminal.\n"
        "\n"
        "Exit status: 0 when every file was read, 1 when some file or folder could not\n"
        "be read (the report covers the rest) or a report could not be written, 2 for\n"
        "a usage error.\n";
}
