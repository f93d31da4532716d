#include "sources.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_folder.h"

namespace fs = std::filesystem;

namespace {

using Sources = TestFolder;

// Each source as "source|user|place: its files' display names in reading order".
std::vector<std::string> Show(const Discovery& found)
{
    std::vector<std::string> shown;
    for (const Source& s : found.sources) {
        shown.push_back(s.identity.source + "|" + s.identity.user + "|" + s.identity.place + ":");
        for (const SourceFile& f : s.files) shown.back() += " " + f.display;
    }
    return shown;
}

// A copy of the collection beside it is one source with it, read copy after copy.
TEST_F(Sources, CollectionsAreNamedByTheirPlaceInByteOrderAndCopiesAreOne)
{
    Make({"collected/PC001/tanaka_log/20261208.txt", "collected/PC001/tanaka_log/20261207.txt",
          "collected/PC001/tanaka_log/notes.txt", "collected/PC001/tanaka_log/2026120.txt",
          "collected/PC001/tanaka_log/20261341.txt", "collected/PC001/suzuki_log/20261207.txt",
          "collected/PC002/deep/tanaka_log/20261207.txt", "collected/tanaka_log/20261209.txt",
          "collected/a_log/20261207.txt", "collected/Z_log/20261207.txt", u8"collected/\u7530\u4e2d_log/20261207.txt",
          "copy/PC001/tanaka_log/20261207.txt", "copy/PC001/tanaka_log/20261206.txt",
          // Not log folders: their daily-looking files are passed over.
          "collected/misc/20261207.txt", "collected/_log/20261207.txt", "collected/PC001/20261207.txt"});
    Discovery found = DiscoverSources({Path("collected"), Path("copy")});
    ASSERT_EQ(Show(found), (std::vector<std::string>{
                               "PC001/suzuki_log|suzuki|PC001: PC001/suzuki_log/20261207.txt",
                               "PC001/tanaka_log|tanaka|PC001: PC001/tanaka_log/20261206.txt "
                               "PC001/tanaka_log/20261207.txt PC001/tanaka_log/20261207.txt "
                               "PC001/tanaka_log/20261208.txt",
                               "PC002/deep/tanaka_log|tanaka|PC002/deep: PC002/deep/tanaka_log/20261207.txt",
                               // Directly in the folder given: its name is the place.
                               "Z_log|Z|collected: Z_log/20261207.txt",
                               "a_log|a|collected: a_log/20261207.txt",
                               "tanaka_log|tanaka|collected: tanaka_log/20261209.txt",
                               u8"\u7530\u4e2d_log|\u7530\u4e2d|collected: \u7530\u4e2d_log/20261207.txt",
                           }));
    std::string copies;  // the copy each of tanaka's files is read from
    for (const SourceFile& f : found.sources[1].files)
        copies += fs::u8path(f.path).lexically_relative(root_).begin()->u8string() + " ";
    EXPECT_EQ(copies, "copy collected copy collected ");
    // The impossible date is noted, not counted as unreadable; other names pass silently.
    ASSERT_EQ(found.problems.size(), 1u);
    EXPECT_EQ(found.problems[0].problem.file, "PC001/tanaka_log/20261341.txt");
    EXPECT_EQ(fs::u8path(found.problems[0].path), fs::u8path(Path("collected/PC001/tanaka_log/20261341.txt")));
    EXPECT_FALSE(found.problems[0].failed);
}

TEST_F(Sources, FilesAndLogFoldersGivenDirectlyOrNamedAsUnreadable)
{
    Make({"PC001/tanaka_log/20261207.txt", "PC001/tanaka_log/20261208.txt", "inbox/20261207.txt", "inbox/readme.txt",
          "inbox/20260230.txt", "empty/plain/x.txt"});
    // The log folder itself, one of its files again (read once), and a file in a plain folder.
    Discovery found = DiscoverSources(
        {Path("PC001/tanaka_log"), Path("PC001/tanaka_log/20261208.txt"), Path("inbox/./20261207.txt")});
    // The PC is never lost: the place is the folder that holds the log folder.
    const std::string root = root_.filename().u8string();
    EXPECT_EQ(Show(found), (std::vector<std::string>{
                               "inbox|inbox|" + root + ": inbox/20261207.txt",
                               "tanaka_log|tanaka|PC001: tanaka_log/20261207.txt tanaka_log/20261208.txt",
                           }));
    EXPECT_TRUE(found.problems.empty());
    EXPECT_EQ(Show(DiscoverSources({Path("PC001/")})),
              (std::vector<std::string>{"tanaka_log|tanaka|PC001: tanaka_log/20261207.txt tanaka_log/20261208.txt"}));
    const struct { const char *given, *shownAs; bool failed; } rows[] = {
        {"missing", "missing", true},
        {"inbox/readme.txt", "readme.txt", true},
        {"inbox/20260230.txt", "20260230.txt", true},
        {"empty", "empty", false},  // read, but no logs in it: a note
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.given);
        Discovery unread = DiscoverSources({Path(row.given)});
        EXPECT_TRUE(unread.sources.empty());
        ASSERT_EQ(unread.problems.size(), 1u);
        const InputProblem& p = unread.problems[0];
        EXPECT_EQ(p.path + "|" + p.problem.file + "|" + std::to_string(p.problem.line) + "|" + std::to_string(p.failed),
                  Path(row.given) + "|" + row.shownAs + "|0|" + std::to_string(row.failed));
    }
}

}  // namespace
