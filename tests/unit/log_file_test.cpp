#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "log/format_bounded.h"
#include "log/log_file.h"

namespace {

const LogTime EARLY = {2026, 1, 2, 3, 4, 5};

std::vector<unsigned char> Encode(const wchar_t* line, LogEncoding encoding)
{
    unsigned char bytes[LOG_BYTES_MAX];
    size_t count = EncodeLogLine(line, encoding, bytes, sizeof(bytes));
    return std::vector<unsigned char>(bytes, bytes + count);
}

std::vector<unsigned char> Bytes(std::initializer_list<int> values)
{
    std::vector<unsigned char> v;
    for (int b : values) v.push_back((unsigned char)b);
    return v;
}

}  // namespace

TEST(LogLine, FieldsAreZeroPaddedAndEndInALineFeed)
{
    wchar_t line[LOG_LINE_CHARS];
    ASSERT_EQ(FormatLogLine(line, ARRAYSIZE(line), EARLY, L"テキスト"), FORMAT_BOUNDED_OK);
    EXPECT_STREQ(line, L"2026/01/02 03:04:05 - テキスト\n");

    LogTime late = {2026, 12, 31, 23, 59, 58};
    FormatLogLine(line, ARRAYSIZE(line), late, L"x");
    EXPECT_STREQ(line, L"2026/12/31 23:59:58 - x\n");
}

TEST(LogLine, DailyFileIsNamedFromTheSameTime)
{
    wchar_t path[PATH_CHARS];
    ASSERT_EQ(FormatDailyFilePath(path, ARRAYSIZE(path), L"C:\\Tools\\kim_log", EARLY), FORMAT_BOUNDED_OK);
    EXPECT_STREQ(path, L"C:\\Tools\\kim_log\\20260102.txt");
    LogTime farYear = {12026, 11, 30, 0, 0, 0};
    FormatDailyFilePath(path, ARRAYSIZE(path), L"D:\\\\u_log", farYear);
    EXPECT_STREQ(path, L"D:\\\\u_log\\120261130.txt") << "the year takes at least four digits";
}

TEST(LogLine, TextOf488FitsAnd489IsDroppedWhole)
{
    wchar_t line[LOG_LINE_CHARS];
    std::wstring fits(488, L'あ');
    ASSERT_EQ(FormatLogLine(line, ARRAYSIZE(line), EARLY, fits.c_str()), FORMAT_BOUNDED_OK);
    EXPECT_EQ(wcslen(line), 511u);
    EXPECT_EQ(line[510], L'\n');

    std::wstring tooLong(489, L'あ');
    EXPECT_LT(FormatLogLine(line, ARRAYSIZE(line), EARLY, tooLong.c_str()), 0);
}

TEST(LogLine, DailyPathThatWouldNotFitFails)
{
    wchar_t path[PATH_CHARS];
    std::wstring folder246 = L"C:\\" + std::wstring(243, L'f');
    EXPECT_EQ(FormatDailyFilePath(path, ARRAYSIZE(path), folder246.c_str(), EARLY), FORMAT_BOUNDED_OK);
    std::wstring folder247 = folder246 + L"f";
    EXPECT_LT(FormatDailyFilePath(path, ARRAYSIZE(path), folder247.c_str(), EARLY), 0);
}

TEST(LogEncoding, ChosenByFirstBytes)
{
    struct Row {
        const char* name;
        uint64_t size;
        std::vector<unsigned char> first;
        bool readable;
        LogEncoding expected;
    };
    const Row rows[] = {
        {"new or empty", 0, {}, true, LOG_ENCODING_UTF8_WITH_MARK},
        {"empty, write-only", 0, {}, false, LOG_ENCODING_UTF8_WITH_MARK},
        {"UTF-8 mark", 10, Bytes({0xEF, 0xBB, 0xBF}), true, LOG_ENCODING_UTF8},
        {"UTF-16LE mark", 10, Bytes({0xFF, 0xFE, 0x32}), true, LOG_ENCODING_UTF16LE},
        {"UTF-16LE mark only", 2, Bytes({0xFF, 0xFE}), true, LOG_ENCODING_UTF16LE},
        {"UTF-16BE mark", 10, Bytes({0xFE, 0xFF, 0x00}), true, LOG_ENCODING_REFUSED},
        {"UTF-16BE mark only", 2, Bytes({0xFE, 0xFF}), true, LOG_ENCODING_REFUSED},
        {"plain ASCII", 10, Bytes({'2', '0', '2'}), true, LOG_ENCODING_UTF8},
        {"one byte FF", 1, Bytes({0xFF}), true, LOG_ENCODING_UTF8},
        {"one byte EF", 1, Bytes({0xEF}), true, LOG_ENCODING_UTF8},
        {"half a UTF-8 mark", 2, Bytes({0xEF, 0xBB}), true, LOG_ENCODING_UTF8},
        {"write-only, would be UTF-16BE", 10, Bytes({0xFE, 0xFF, 0x00}), false, LOG_ENCODING_UTF8},
        {"write-only, would be UTF-16LE", 10, Bytes({0xFF, 0xFE, 0x00}), false, LOG_ENCODING_UTF8},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ChooseLogEncoding(r.size, r.first.data(), r.first.size(), r.readable), r.expected) << r.name;
    }
}

TEST(LogEncoding, BytesForEachEncoding)
{
    EXPECT_EQ(Encode(L"a é\n", LOG_ENCODING_UTF8_WITH_MARK),
              Bytes({0xEF, 0xBB, 0xBF, 'a', ' ', 0xC3, 0xA9, 0x0D, 0x0A}));
    EXPECT_EQ(Encode(L"ロ\n", LOG_ENCODING_UTF8), Bytes({0xE3, 0x83, 0xAD, 0x0D, 0x0A}));
    EXPECT_EQ(Encode(L"aロ\n", LOG_ENCODING_UTF16LE), Bytes({'a', 0, 0xED, 0x30, 0x0D, 0, 0x0A, 0}));
    EXPECT_EQ(Encode(L"x\n", LOG_ENCODING_REFUSED), Bytes({}));
    EXPECT_EQ(Encode(L"a\nb\n", LOG_ENCODING_UTF8), Bytes({'a', 0x0D, 0x0A, 'b', 0x0D, 0x0A}))
        << "every line feed gains a CR, no other CR is added";
    EXPECT_EQ(Encode(L"😀\n", LOG_ENCODING_UTF8), Bytes({0xF0, 0x9F, 0x98, 0x80, 0x0D, 0x0A}));
}

TEST(LogEncoding, LongestLineFitsTheByteBuffer)
{
    std::wstring text(510, L'\n');
    text.push_back(L'\n');
    std::vector<unsigned char> bytes = Encode(text.c_str(), LOG_ENCODING_UTF8_WITH_MARK);
    EXPECT_EQ(bytes.size(), 3u + 2u * 511u);
    std::wstring wide(511, L'語');
    EXPECT_EQ(Encode(wide.c_str(), LOG_ENCODING_UTF8).size(), 3u * 511u);
}

// AppendLineToFile on real files: the mark, the first-bytes table and whole lines.
class AppendLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"stillsentinel_append_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(path_.c_str());
    }
    void TearDown() override { DeleteFileW(path_.c_str()); }

    void Put(const std::vector<unsigned char>& bytes)
    {
        HANDLE f = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        if (!bytes.empty()) WriteFile(f, bytes.data(), (DWORD)bytes.size(), &done, NULL);
        CloseHandle(f);
    }
    std::vector<unsigned char> Get()
    {
        std::vector<unsigned char> bytes(4096);
        HANDLE f = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (f == INVALID_HANDLE_VALUE) return {};
        DWORD done = 0;
        ReadFile(f, bytes.data(), (DWORD)bytes.size(), &done, NULL);
        CloseHandle(f);
        bytes.resize(done);
        return bytes;
    }

    std::wstring path_;
};

TEST_F(AppendLine, NewFileGetsTheMarkOnceThenPlainLines)
{
    ASSERT_EQ(AppendLineToFile(path_.c_str(), L"一\n"), APPEND_WRITTEN);
    ASSERT_EQ(AppendLineToFile(path_.c_str(), L"b\n"), APPEND_WRITTEN);
    EXPECT_EQ(Get(), Bytes({0xEF, 0xBB, 0xBF, 0xE4, 0xB8, 0x80, 0x0D, 0x0A, 'b', 0x0D, 0x0A}));
}

TEST_F(AppendLine, ExistingFilesFollowTheirFirstBytes)
{
    struct Row {
        const char* name;
        std::vector<unsigned char> before, after;
        AppendResult result;
    };
    const Row rows[] = {
        {"empty", {}, Bytes({0xEF, 0xBB, 0xBF, 'x', 0x0D, 0x0A}), APPEND_WRITTEN},
        {"UTF-8 mark", Bytes({0xEF, 0xBB, 0xBF}), Bytes({0xEF, 0xBB, 0xBF, 'x', 0x0D, 0x0A}), APPEND_WRITTEN},
        {"ASCII", Bytes({'o', 'k'}), Bytes({'o', 'k', 'x', 0x0D, 0x0A}), APPEND_WRITTEN},
        {"one byte", Bytes({0xFE}), Bytes({0xFE, 'x', 0x0D, 0x0A}), APPEND_WRITTEN},
        {"UTF-16LE", Bytes({0xFF, 0xFE}), Bytes({0xFF, 0xFE, 'x', 0, 0x0D, 0, 0x0A, 0}), APPEND_WRITTEN},
        {"UTF-16BE", Bytes({0xFE, 0xFF, 0, 'a'}), Bytes({0xFE, 0xFF, 0, 'a'}), APPEND_FAILED},
    };
    for (const Row& r : rows) {
        Put(r.before);
        EXPECT_EQ(AppendLineToFile(path_.c_str(), L"x\n"), r.result) << r.name;
        EXPECT_EQ(Get(), r.after) << r.name;
    }
}

TEST_F(AppendLine, AMissingFolderIsToldFromOtherFailures)
{
    // path_ names nothing: as a folder it is missing.
    EXPECT_EQ(AppendLineToFile((path_ + L"\\20260102.txt").c_str(), L"x\n"), APPEND_NO_FOLDER);
    std::wstring folder = path_.substr(0, path_.rfind(L'\\'));
    EXPECT_EQ(AppendLineToFile(folder.c_str(), L"x\n"), APPEND_FAILED) << "a folder where the file should be";
}
