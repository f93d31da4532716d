#include "options.h"

#include <gtest/gtest.h>

#include "civil_time.h"

namespace {

struct Accepted {
    std::vector<std::string> args;
    void (*check)(const Options&);
};

const Accepted ACCEPTED[] = {
    {{"--format", "csv", "logs"}, [](const Options& o) {
         EXPECT_EQ(o.format, OutputFormat::Csv);
         EXPECT_EQ(o.paths, std::vector<std::string>{"logs"});
         EXPECT_TRUE(o.outDir.empty());
     }},
    {{"--format=jsonl", "a", "b"}, [](const Options& o) {
         EXPECT_EQ(o.format, OutputFormat::JsonLines);
         EXPECT_EQ(o.paths, (std::vector<std::string>{"a", "b"}));
     }},
    {{"a", "--out", "out dir", "--format=HTML"}, [](const Options& o) {
         EXPECT_EQ(o.outDir, "out dir");
         EXPECT_EQ(o.format, OutputFormat::Html);
     }},
    {{"--out=o", "a"}, [](const Options& o) {
         EXPECT_EQ(o.outDir, "o");
         EXPECT_EQ(o.format, OutputFormat::None);
         EXPECT_FALSE(o.timeline.hasFrom || o.timeline.hasTo || o.mergeUsers);
         EXPECT_EQ(o.timeline.dayStartS, 0);
         EXPECT_EQ(o.timeline.gapS, 0);
         EXPECT_EQ(o.csvEncoding, CSV_UTF8);
     }},
    {{"--out", "o", "--from", "2024-02-29", "--to=2024-03-01", "a"}, [](const Options& o) {
         EXPECT_TRUE(o.timeline.hasFrom && o.timeline.hasTo);
         EXPECT_EQ(o.timeline.fromDay, DaysFromCivil(2024, 2, 29));
         EXPECT_EQ(o.timeline.toDay, DaysFromCivil(2024, 3, 1));
     }},
    {{"--out", "o", "--from=2026-12-07", "--to", "2026-12-07", "a"}, [](const Options& o) {
         EXPECT_EQ(o.timeline.fromDay, o.timeline.toDay);
     }},
    {{"--out", "o", "--day-starts", "05:30", "--gap=600", "a"}, [](const Options& o) {
         EXPECT_EQ(o.timeline.dayStartS, 5 * 3600 + 30 * 60);
         EXPECT_EQ(o.timeline.gapS, 600);
     }},
    {{"--out", "o", "--day-starts=23:59", "--gap", "86400", "a"}, [](const Options& o) {
         EXPECT_EQ(o.timeline.dayStartS, 86340);
         EXPECT_EQ(o.timeline.gapS, 86400);
     }},
    {{"--merge-users", "--csv-encoding", "cp932", "--out", "o", "a"}, [](const Options& o) {
         EXPECT_TRUE(o.mergeUsers);
         EXPECT_EQ(o.csvEncoding, CSV_CP932);
     }},
    {{"--csv-encoding=cp932", "--csv-encoding=UTF-8", "--format", "csv", "--format", "jsonl", "a"},
     [](const Options& o) {
         EXPECT_EQ(o.csvEncoding, CSV_UTF8) << "the later value wins";
         EXPECT_EQ(o.format, OutputFormat::JsonLines);
     }},
    {{"--format", "csv", "--", "--out", "-", "-x"}, [](const Options& o) {
         EXPECT_TRUE(o.outDir.empty());
         EXPECT_EQ(o.paths, (std::vector<std::string>{"--out", "-", "-x"}));
     }},
    {{"--help"}, [](const Options& o) { EXPECT_TRUE(o.help); }},
    {{"--format", "xml", "-h", "--bogus"}, [](const Options& o) { EXPECT_TRUE(o.help); }},
    {{"--version"}, [](const Options& o) { EXPECT_TRUE(o.version); }},
};

TEST(Options, AcceptedCommandLines)
{
    for (const Accepted& row : ACCEPTED) {
        std::string line;
        for (const std::string& a : row.args) line += a + " ";
        SCOPED_TRACE(line);
        ParsedOptions parsed = ParseOptions(row.args);
        ASSERT_EQ(parsed.error, "");
        row.check(parsed.options);
    }
}

struct Refused {
    std::vector<std::string> args;
    const char* inMessage;
};

const Refused REFUSED[] = {
    {{}, "give --out DIR"},
    {{"logs"}, "give --out DIR"},
    {{"--format", "csv"}, "PATH"},
    {{"--format", "xml", "a"}, "--format must be"},
    {{"--format"}, "--format needs a value"},
    {{"a", "--out"}, "--out needs a value"},
    {{"--out=", "a"}, "--out needs a folder"},
    {{"--bogus", "--format", "csv", "a"}, "unknown option '--bogus'"},
    {{"-f", "csv", "a"}, "unknown option '-f'"},
    {{"a", "--", "--help"}, "give --out DIR"},
    {{"--merge-users=yes", "--format", "csv", "a"}, "--merge-users takes no value"},
    {{"--format", "csv", "--from", "2026-02-29", "a"}, "--from needs a date"},
    {{"--format", "csv", "--from", "2026-1-01", "a"}, "--from needs a date"},
    {{"--format", "csv", "--to", "2026/12/01", "a"}, "--to needs a date"},
    {{"--format", "csv", "--from", "2026-12-02", "--to", "2026-12-01", "a"}, "is after --to"},
    {{"--format", "csv", "--day-starts", "24:00", "a"}, "--day-starts"},
    {{"--format", "csv", "--day-starts", "7:00", "a"}, "--day-starts"},
    {{"--format", "csv", "--day-starts", "07:60", "a"}, "--day-starts"},
    {{"--format", "csv", "--gap", "0", "a"}, "--gap"},
    {{"--format", "csv", "--gap", "-5", "a"}, "--gap"},
    {{"--format", "csv", "--gap", "10s", "a"}, "--gap"},
    {{"--format", "csv", "--gap", "86401", "a"}, "--gap"},
    {{"--format", "csv", "--gap", "99999999999999999999", "a"}, "--gap"},
    {{"--format", "csv", "--csv-encoding", "latin1", "a"}, "--csv-encoding"},
};

TEST(Options, UsageErrorsNameWhatIsWrong)
{
    for (const Refused& row : REFUSED) {
        std::string line;
        for (const std::string& a : row.args) line += a + " ";
        SCOPED_TRACE(line);
        EXPECT_NE(ParseOptions(row.args).error.find(row.inMessage), std::string::npos) << ParseOptions(row.args).error;
    }
}

}  // namespace
