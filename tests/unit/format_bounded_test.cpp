#include <gtest/gtest.h>

#include <string>

#include "log/format_bounded.h"

TEST(FormatBounded, RejectsUnusableCapacities)
{
    wchar_t buffer[4] = {L'x', L'y', L'z', 0};
    EXPECT_EQ(FormatBounded(buffer, 0, L"abc"), FORMAT_BOUNDED_INVALID_ARG);
    EXPECT_EQ(buffer[0], L'x') << "capacity 0 must leave the buffer alone";

    EXPECT_EQ(FormatBounded(buffer, (size_t)0x80000000u, L"abc"), FORMAT_BOUNDED_INVALID_ARG);
    EXPECT_EQ(buffer[0], L'\0') << "an oversized capacity stores an empty string";
    EXPECT_LT(FORMAT_BOUNDED_INVALID_ARG, 0);
}

TEST(FormatBounded, ExactFitSucceedsAndOneOverIsCutAndTerminated)
{
    wchar_t buffer[6];
    ASSERT_EQ(FormatBounded(buffer, 6, L"%s", L"abcde"), FORMAT_BOUNDED_OK);
    EXPECT_STREQ(buffer, L"abcde");

    ASSERT_EQ(FormatBounded(buffer, 6, L"%s", L"abcdef"), FORMAT_BOUNDED_TRUNCATED);
    EXPECT_STREQ(buffer, L"abcde");
    EXPECT_EQ((uint32_t)FORMAT_BOUNDED_TRUNCATED, 0x8007007Au);
    EXPECT_LT(FORMAT_BOUNDED_TRUNCATED, 0);

    wchar_t one[1] = {L'q'};
    EXPECT_EQ(FormatBounded(one, 1, L"a"), FORMAT_BOUNDED_TRUNCATED);
    EXPECT_EQ(one[0], L'\0');
    EXPECT_EQ(FormatBounded(one, 1, L""), FORMAT_BOUNDED_OK);
}

// The formats the program uses: %s must take a wide string whichever C
// runtime conventions the toolchain defaults to.
TEST(FormatBounded, ConversionsTakeWideStringsAndPadNumbers)
{
    struct Row {
        const wchar_t* expected;
        std::wstring actual;
    };
    wchar_t buffer[64];
    FormatBounded(buffer, 64, L"%s\\%s_log", L"C:\\Tools", L"ユーザー");
    std::wstring folder = buffer;
    FormatBounded(buffer, 64, L"%ls|%ls", L"wide", L"日本");
    std::wstring explicitWide = buffer;
    FormatBounded(buffer, 64, L"%04d/%02d/%02d", 7, 3, 9);
    std::wstring padded = buffer;
    FormatBounded(buffer, 64, L"%u", 4294967295u);
    std::wstring unsignedMax = buffer;
    FormatBounded(buffer, 64, L"%d", -2147483647 - 1);
    std::wstring signedMin = buffer;

    EXPECT_EQ(folder, L"C:\\Tools\\ユーザー_log");
    EXPECT_EQ(explicitWide, L"wide|日本");
    EXPECT_EQ(padded, L"0007/03/09");
    EXPECT_EQ(unsignedMax, L"4294967295");
    EXPECT_EQ(signedMin, L"-2147483648");
}
