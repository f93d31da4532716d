#include "file_read.h"
#include "file_replace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "civil_time.h"
#include "problem_checks.h"
#include "side_files.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace {

class Files : public TestFolder {
protected:
    // What the folder holds, "name=content " (a folder "name/ "), in byte order.
    std::string Held() const
    {
        std::string held;
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(root_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        for (const fs::path& name : names) {
            std::ifstream in(root_ / name, std::ios::binary);
            held += name.u8string() + (fs::is_directory(root_ / name)
                                           ? "/ " : "=" + std::string(std::istreambuf_iterator<char>(in), {}) + " ");
        }
        return held;
    }
};

TEST_F(Files, ReadWholeWithinTheLimitOrNotAtAll)
{
    Make({"four.txt"}, "abc\n");
    Make({"empty.txt"}, "");
    fs::create_directories(root_ / "folder.txt");
    const struct { const char* name; size_t limit; FileError error; const char* bytes; } rows[] = {
        {"four.txt", 100, FileError::None, "abc\n"},
        {"four.txt", 4, FileError::None, "abc\n"},  // exactly the limit
        {"four.txt", 3, FileError::TooLarge, ""},
        {"empty.txt", 0, FileError::None, ""},
        {"missing.txt", 100, FileError::NotFound, ""},
        {"folder.txt", 100, FileError::NotAFile, ""},
    };
    std::string bytes = "left from the file before";
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " within " + std::to_string(row.limit));
        EXPECT_EQ(ReadWholeFile(Path(row.name), row.limit, bytes), row.error);
        EXPECT_EQ(bytes, row.bytes);
    }
}

// Each row writes r.csv beside old.csv ("old"); no temporary may be left behind.
TEST_F(Files, ReplacedWholeOrLeftAsItWas)
{
    const std::string big(300 * 1024, 'b');  // more than a block in one append
    auto write = [&](std::initializer_list<std::string_view> chunks, bool commit, std::string& reason) {
        ReplacingFile out;
        if (!BeginReplacing(out, Path("r.csv"), reason)) return false;
        for (std::string_view chunk : chunks) AppendReplacing(out, chunk);
        if (commit) return CommitReplacing(out, reason);
        AbandonReplacing(out);
        return false;
    };
    const struct {
        const char* what;
        std::function<bool(std::string& reason)> act;
        bool written;
        const char* reason;
        std::string held;
    } rows[] = {
        {"chunks, small and large", [&](std::string& r) { return write({"a", big, "c"}, true, r); }, true, "",
         "old.csv=old r.csv=a" + big + "c "},
        {"over a file there already", [&](std::string& r) { return WriteFileReplacing(Path("old.csv"), "new", r); },
         true, "", "old.csv=new "},
        {"abandoned", [&](std::string& r) { return write({"half"}, false, r); }, false, "", "old.csv=old "},
        {"where a folder is", [&](std::string& r) {
             fs::create_directories(root_ / "r.csv");
             return write({"new"}, true, r);
         }, false, "is a folder", "old.csv=old r.csv/ "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        Make({"old.csv"}, "old");
        std::string reason;
        EXPECT_EQ(row.act(reason), row.written);
        EXPECT_EQ(reason, row.reason);
        EXPECT_EQ(Held(), row.held);
    }
}

// Several --holidays files make one list; a file that cannot be read fails,
// a line that cannot be read is named by file and line and the rest is used.
TEST_F(Files, HolidayFilesMergedAndTheirProblemsNamed)
{
    Make({"a.txt"}, "2026-08-13\r\n2026/8/14,\xE5\xA4\x8F\r\n2026-02-30\r\n");
    Make({"b.txt"}, "2026-08-14,other\n2026-01-05\n");
    std::vector<InputProblem> problems;
    std::string listed;
    for (const CompanyHoliday& d : ReadHolidayFiles({Path("a.txt"), Path("missing.txt"), Path("b.txt")}, problems))
        listed += FormatDate(d.day) + d.name + " ";
    EXPECT_EQ(listed, "2026-01-05 2026-08-13 2026-08-14\xE5\xA4\x8F ");
    ASSERT_EQ(Shown(problems), Path("a.txt") + ":3; " + Path("missing.txt") + ":0 failed; ");
    EXPECT_EQ(problems[0].problem.kind, ProblemKind::InputRow);
    EXPECT_EQ(problems[1].problem.error, FileError::NotFound);
}

}  // namespace
