#include "options.h"

#include <gtest/gtest.h>

#include "civil_time.h"

namespace {

// Everything a parse decided, defaults left out, so one string per row checks every field.
std::string Show(const Options& o)
{
    std::string s;
    for (const std::string& p : o.paths) s += "[" + p + "]";
    const char* const formats[] = {"", " csv", " jsonl", " html", " monthly-csv", " monthly-jsonl"};
    s += formats[static_cast<int>(o.format)];
    if (!o.outDir.empty()) s += " out=" + o.outDir;
    if (o.csvEncoding == CSV_CP932) s += " cp932";
    if (o.mergeUsers) s += " merge";
    if (o.timeline.hasFrom) s += " from=" + FormatDate(o.timeline.fromDay);
    if (o.timeline.hasTo) s += " to=" + FormatDate(o.timeline.toDay);
    if (o.timeline.dayStartS) s += " start=" + std::to_string(o.timeline.dayStartS);
    if (o.timeline.gapS) s += " gap=" + std::to_string(o.timeline.gapS);
    for (const std::string& h : o.holidayFiles) s += " holidays=" + h;
    if (!o.attendanceFile.empty()) s += " attendance=" + o.attendanceFile;
    if (!o.usersFile.empty()) s += " users=" + o.usersFile;
    if (o.divergenceMin != 30) s += " divergence=" + std::to_string(o.divergenceMin);
    if (o.months.workdayS != 9 * 3600) s += " workday=" + std::to_string(o.months.workdayS);
    if (o.months.overtimeLimitS != 45 * 3600) s += " limit=" + std::to_string(o.months.overtimeLimitS);
    return s + (o.help ? " help" : "") + (o.version ? " version" : "");
}

TEST(Options, AcceptedCommandLines)
{
    const struct { std::vector<std::string> args; const char* parsed; } rows[] = {
        {{"--format", "csv", "logs"}, "[logs] csv"},
        {{"--format=jsonl", "a", "b"}, "[a][b] jsonl"},
        {{"a", "--out", "out dir", "--format=HTML"}, "[a] html out=out dir"},
        {{"--out=o", "--from", "2024-02-29", "--to=2024-03-01", "a"}, "[a] out=o from=2024-02-29 to=2024-03-01"},
        {{"--out", "o", "--from=2026-12-07", "--to", "2026-12-07", "a"}, "[a] out=o from=2026-12-07 to=2026-12-07"},
        {{"--out", "o", "--day-starts", "05:30", "--gap=600", "a"}, "[a] out=o start=19800 gap=600"},
        {{"--out", "o", "--day-starts=23:59", "--gap", "86400", "a"}, "[a] out=o start=86340 gap=86400"},
        {{"--merge-users", "--csv-encoding", "cp932", "--out", "o", "a"}, "[a] out=o cp932 merge"},
        // The later value wins.
        {{"--csv-encoding=cp932", "--csv-encoding=UTF-8", "--format", "csv", "--format", "jsonl", "a"}, "[a] jsonl"},
        {{"--format", "csv", "--", "--out", "-", "-x"}, "[--out][-][-x] csv"},
        {{"--format=Monthly-CSV", "--holidays", "h1", "--holidays=h2", "a"}, "[a] monthly-csv holidays=h1 holidays=h2"},
        {{"--format", "monthly-jsonl", "--workday", "7:45", "--overtime-limit=80", "a"},
         "[a] monthly-jsonl workday=27900 limit=288000"},
        {{"--format", "csv", "--attendance", "a.csv", "--divergence=0", "a"}, "[a] csv attendance=a.csv divergence=0"},
        {{"--users=people.csv", "--format", "csv", "a"}, "[a] csv users=people.csv"},
        {{"--format", "csv", "--workday=24:00", "--overtime-limit", "0", "a"}, "[a] csv workday=86400 limit=0"},
        {{"--help"}, " help"},
        {{"--format", "xml", "-h", "--bogus"}, " help"},
        {{"--version"}, " version"},
    };
    for (const auto& row : rows) {
        ParsedOptions parsed = ParseOptions(row.args);
        EXPECT_EQ(parsed.error, "") << testing::PrintToString(row.args);
        EXPECT_EQ(Show(parsed.options), row.parsed) << testing::PrintToString(row.args);
    }
}

TEST(Options, UsageErrorsNameWhatIsWrong)
{
    const struct { std::vector<std::string> args; const char* inMessage; } rows[] = {
        {{}, "give --out DIR"},
        {{"logs"}, "give --out DIR"},
        {{"a", "--", "--help"}, "give --out DIR"},
        {{"--format", "csv"}, "PATH"},
        {{"--format", "xml", "a"}, "--format must be"},
        {{"--format"}, "--format needs a value"},
        {{"a", "--out"}, "--out needs a value"},
        {{"--out=", "a"}, "--out needs a folder"},
        {{"--bogus", "--format", "csv", "a"}, "unknown option '--bogus'"},
        {{"-f", "csv", "a"}, "unknown option '-f'"},
        {{"--merge-users=yes", "--format", "csv", "a"}, "--merge-users takes no value"},
        {{"--format", "csv", "--from", "2026-12-02", "--to", "2026-12-01", "a"}, "is after --to"},
    };
    for (const auto& row : rows) {
        std::string error = ParseOptions(row.args).error;
        EXPECT_NE(error.find(row.inMessage), std::string::npos) << testing::PrintToString(row.args) << "-> " << error;
    }
    // Each option's bad values, after "--format csv", before the path "a".
    const struct { const char* option; std::vector<const char*> values; const char* inMessage; } values[] = {
        {"--from", {"2026-02-29", "2026-1-01"}, "--from needs a date"},
        {"--to", {"2026/12/01"}, "--to needs a date"},
        {"--day-starts", {"24:00", "7:00", "07:60"}, "--day-starts"},
        {"--gap", {"0", "-5", "10s", "86401", "99999999999999999999"}, "--gap"},
        {"--csv-encoding", {"latin1"}, "--csv-encoding"},
        {"--workday", {"9", "9:5", "24:01", "123:00", ":30", "9:60"}, "--workday"},
        {"--overtime-limit", {"", "-1", "45.5", "745", "1000"}, "--overtime-limit"},
        {"--holidays", {""}, "--holidays"},
        {"--attendance", {""}, "--attendance"},
        {"--users", {""}, "--users"},
        {"--divergence", {"", "-1", "1441", "5m", "99999"}, "--divergence"},
    };
    for (const auto& row : values)
        for (const char* value : row.values) {
            std::string error = ParseOptions({"--format", "csv", row.option, value, "a"}).error;
            EXPECT_NE(error.find(row.inMessage), std::string::npos) << row.option << " " << value << " -> " << error;
        }
}

}  // namespace
