#include "file_read.h"
#include "file_replace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

namespace {

class Files : public testing::Test {
protected:
    fs::path root_ = fs::temp_directory_path() / (std::string("files_test_") +
                                                  testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override
    {
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    void Make(const char* name, const std::string& bytes) { std::ofstream(root_ / name, std::ios::binary) << bytes; }
    std::string Path(const char* name) const { return (root_ / name).u8string(); }
    // What the folder holds, "name=content" (or "name/" for a folder), in byte order.
    std::string Held() const
    {
        std::string held;
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(root_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        for (const fs::path& name : names) {
            std::ifstream in(root_ / name, std::ios::binary);
            held += fs::is_directory(root_ / name)
                        ? name.u8string() + "/ "
                        : name.u8string() + "=" + std::string(std::istreambuf_iterator<char>(in), {}) + " ";
        }
        return held;
    }
};

TEST_F(Files, ReadWholeWithinTheLimitOrNotAtAll)
{
    Make("four.txt", "abc\n");
    Make("empty.txt", "");
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

TEST_F(Files, ReplacedWholeOrLeftAsItWas)
{
    const std::string big(300 * 1024, 'b');  // more than one block in one append
    const struct {
        const char* what;
        std::function<bool(std::string& reason)> write;
        bool written;
        const char* reason;
        std::string held;
    } rows[] = {
            {"chunks, small and large", [&](std::string& reason) {
                 ReplacingFile out;
                 if (!BeginReplacing(out, Path("r.csv"), reason)) return false;
                 for (std::string_view chunk : {std::string_view("a"), std::string_view(big), std::string_view("c")})
                     AppendReplacing(out, chunk);
                 return CommitReplacing(out, reason);
             }, true, "", "old.csv=old r.csv=a" + big + "c "},
            {"over a file there already", [&](std::string& reason) {
                 return WriteFileReplacing(Path("old.csv"), "new", reason);
             }, true, "", "old.csv=new "},
            {"abandoned", [&](std::string& reason) {
                 ReplacingFile out;
                 if (!BeginReplacing(out, Path("old.csv"), reason)) return false;
                 AppendReplacing(out, "half");
                 AbandonReplacing(out);
                 return false;
             }, false, "", "old.csv=old "},
            {"where a folder is", [&](std::string& reason) {
                 fs::create_directories(root_ / "r.csv");
                 return WriteFileReplacing(Path("r.csv"), "new", reason);
             }, false, "is a folder", "old.csv=old r.csv/ "},
            {"in a folder that is not there", [&](std::string& reason) {
                 return WriteFileReplacing(Path("missing/r.csv"), "new", reason);
             }, false, "does not exist", "old.csv=old "},
        };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(root_);
        fs::create_directories(root_);
        Make("old.csv", "old");
        std::string reason;
        EXPECT_EQ(row.write(reason), row.written);
        EXPECT_EQ(reason, row.reason);
        EXPECT_EQ(Held(), row.held);  // and no temporary left behind
    }
}

}  // namespace
