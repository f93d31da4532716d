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

TEST_F(Sources, CollectionsAreNamedByTheirPlaceInByteOrder)
{
    Make({"collected/PC001/tanaka_log/20261208.txt", "collected/PC001/tanaka_log/20261207.txt",
          "collected/PC001/tanaka_log/notes.txt", "collected/PC001/tanaka_log/2026120.txt",
          "collected/PC001/tanaka_log/20261341.txt", "collected/PC001/suzuki_log/20261207.txt",
          "collected/PC002/deep/tanaka_log/20261207.txt", "collected/tanaka_log/20261209.txt",
          "collected/a_log/20261207.txt", "collected/Z_log/20261207.txt", u8"collected/\u7530\u4e2d_log/20261207.txt",
          // Not log folders: their daily-looking files are passed over.
          "collected/misc/20261207.txt", "collected/_log/20261207.txt", "collected/PC001/20261207.txt"});
    Discovery found = DiscoverSources({Path("collected")});
    EXPECT_EQ(Show(found), (std::vector<std::string>{
                               "PC001/suzuki_log|suzuki|PC001: PC001/suzuki_log/20261207.txt",
                               "PC001/tanaka_log|tanaka|PC001: PC001/tanaka_log/20261207.txt "
                               "PC001/tanaka_log/20261208.txt",
                               "PC002/deep/tanaka_log|tanaka|PC002/deep: PC002/deep/tanaka_log/20261207.txt",
                               // Directly in the folder given: its name is the place.
                               "Z_log|Z|collected: Z_log/20261207.txt",
                               "a_log|a|collected: a_log/20261207.txt",
                               "tanaka_log|tanaka|collected: tanaka_log/20261209.txt",
                               u8"\u7530\u4e2d_log|\u7530\u4e2d|collected: \u7530\u4e2d_log/20261207.txt",
                           }));
    // The impossible date is noted, not counted as unreadable; other names pass silently.
    ASSERT_EQ(found.problems.size(), 1u);
    EXPECT_EQ(found.problems[0].problem.file, "PC001/tanaka_log/20261341.txt");
    EXPECT_EQ(fs::u8path(found.problems[0].path), fs::u8path(Path("collected/PC001/tanaka_log/20261341.txt")));
    EXPECT_FALSE(found.problems[0].failed);
}

TEST_F(Sources, TwoCopiesOfOneCollectionAreOneSourceReadCopyAfterCopy)
{
    Make({"copyA/PC001/tanaka_log/20261207.txt", "copyB/PC001/tanaka_log/20261207.txt",
          "copyB/PC001/tanaka_log/20261206.txt"});
    Discovery found = DiscoverSources({Path("copyA"), Path("copyB")});
    ASSERT_EQ(found.sources.size(), 1u);
    EXPECT_EQ(found.sources[0].identity.source, "PC001/tanaka_log");
    std::vector<fs::path> paths;
    for (const SourceFile& f : found.sources[0].files) paths.push_back(fs::u8path(f.path));
    EXPECT_EQ(paths, (std::vector<fs::path>{fs::u8path(Path("copyB/PC001/tanaka_log/20261206.txt")),
                                            fs::u8path(Path("copyA/PC001/tanaka_log/20261207.txt")),
                                            fs::u8path(Path("copyB/PC001/tanaka_log/20261207.txt"))}));
    EXPECT_TRUE(found.problems.empty());
}

TEST_F(Sources, FilesAndLogFoldersGivenDirectly)
{
    Make({"PC001/tanaka_log/20261207.txt", "PC001/tanaka_log/20261208.txt", "inbox/20261207.txt",
          "inbox/readme.txt"});
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
}

TEST_F(Sources, WhatCannotBeReadIsNamedAndFails)
{
    Make({"inbox/readme.txt", "inbox/20260230.txt", "empty/plain/x.txt"});
    const struct { const char *given, *shownAs; bool failed; } rows[] = {
        {"missing", "missing", true},
        {"inbox/readme.txt", "readme.txt", true},
        {"inbox/20260230.txt", "20260230.txt", true},
        {"empty", "empty", false},  // read, but no logs in it: a note
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.given);
        Discovery found = DiscoverSources({Path(row.given)});
        EXPECT_TRUE(found.sources.empty());
        ASSERT_EQ(found.problems.size(), 1u);
        const InputProblem& p = found.problems[0];
        EXPECT_EQ(p.path + "|" + p.problem.file + "|" + std::to_string(p.problem.line) + "|" + std::to_string(p.failed),
                  Path(row.given) + "|" + row.shownAs + "|0|" + std::to_string(row.failed));
    }
}

}  // namespace
