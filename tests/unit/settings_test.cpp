#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>

#include "app/settings.h"

namespace {

AppSettings Of(int32_t interval, int32_t limit, int32_t threshold, int32_t logInterval)
{
    AppSettings s = {interval, limit, threshold, logInterval};
    return s;
}

std::tuple<int32_t, int32_t, int32_t, int32_t> Fields(const AppSettings& s)
{
    return {s.TimerIntervalSec, s.IdleLimitSeconds, s.IdleMoveThreshold, s.LogIntervalSec};
}

// A value as the profile reading returns it: unsigned, stored bit for bit.
int32_t AsRead(uint32_t value) { return (int32_t)value; }

}  // namespace

TEST(ClampSettings, EveryBound)
{
    struct Row {
        AppSettings in, out;
    };
    const Row rows[] = {
        {DefaultSettings(), Of(10, 900, 3, 30)},
        {Of(0, 900, 3, 30), Of(1, 900, 3, 30)},
        {Of(1, 5, 0, 0), Of(1, 5, 0, 0)},
        {Of(3600, 32767, 100, 3600), Of(3600, 32767, 100, 3600)},
        {Of(3601, 32768, 101, 3601), Of(3600, 32767, 100, 3600)},
        {Of(10, 4, 3, 30), Of(10, 5, 3, 30)},
        {Of(10, 100000, 3, 30), Of(10, 32767, 3, 30)},
        {Of(10, 900, -1, 30), Of(10, 900, 0, 30)},
        {Of(10, 900, 3, -1), Of(10, 900, 3, 0)},
        {Of(INT_MAX, INT_MAX, INT_MAX, INT_MAX), Of(3600, 32767, 100, 3600)},
        {Of(INT_MIN, INT_MIN, INT_MIN, INT_MIN), Of(1, 5, 0, 0)},
        // Readings with the top bit set count as negative: the lower bound, never the upper.
        {Of(AsRead(0x80000001u), AsRead(3000000000u), AsRead(0xFFFFFFFEu), AsRead(0xFFFFFFFFu)), Of(1, 5, 0, 0)},
    };
    const AppSettings saved = Settings;
    for (const Row& r : rows) {
        EXPECT_EQ(Fields(ClampedSettings(r.in)), Fields(r.out)) << ::testing::PrintToString(Fields(r.in));
        Settings = r.in;
        ClampSettings();
        EXPECT_EQ(Fields(Settings), Fields(r.out)) << "in place, " << ::testing::PrintToString(Fields(r.in));
    }
    Settings = saved;
}

TEST(SanitizeUserName, ReplacesEachOfTheNineCharacters)
{
    const wchar_t forbidden[] = L"\\/:*?\"<>|";
    for (const wchar_t* c = forbidden; *c; ++c) {
        wchar_t name[8] = {L'k', L'i', *c, L'm', 0};
        SanitizeUserName(name);
        EXPECT_STREQ(name, L"ki_m") << "character U+" << std::hex << (int)*c;
    }
    wchar_t all[16];
    wcscpy(all, forbidden);
    SanitizeUserName(all);
    EXPECT_STREQ(all, L"_________");
}

TEST(SanitizeUserName, LeavesEverythingElseIntact)
{
    const wchar_t* keep[] = {L"kim", L"山田 太郎", L"j.doe", L"Ünal-ß", L"a b\tc", L"😀user", L"name_1"};
    for (const wchar_t* original : keep) {
        wchar_t name[32];
        wcscpy(name, original);
        SanitizeUserName(name);
        EXPECT_STREQ(name, original);
    }
}

TEST(ComposeSettingsPath, FolderKeepsItsBackslash)
{
    wchar_t path[PATH_CHARS];
    ASSERT_TRUE(ComposeSettingsPath(path, PATH_CHARS, L"C:\\Tools\\lock.exe", L"kim"));
    EXPECT_STREQ(path, L"C:\\Tools\\kim_StillSentinel.ini");
    ASSERT_TRUE(ComposeSettingsPath(path, PATH_CHARS, L"C:\\lock.exe", L"ki_m"));
    EXPECT_STREQ(path, L"C:\\ki_m_StillSentinel.ini");
}

TEST(ComposeSettingsPath, NeverYieldsAPathCutShort)
{
    wchar_t path[PATH_CHARS];
    EXPECT_FALSE(ComposeSettingsPath(path, PATH_CHARS, L"lock.exe", L"kim")) << "no folder";
    EXPECT_STREQ(path, L"");

    // Folder of 240 characters: 240 + "kim_StillSentinel.ini" (21) needs 262 with the NUL.
    std::wstring exe = L"C:\\" + std::wstring(236, L'd') + L"\\x.exe";
    EXPECT_FALSE(ComposeSettingsPath(path, PATH_CHARS, exe.c_str(), L"kim"));
    EXPECT_STREQ(path, L"") << "a cut path would name some other file";

    // Exactly 259 characters still fits.
    std::wstring fits = L"C:\\" + std::wstring(234, L'd') + L"\\x.exe";
    ASSERT_TRUE(ComposeSettingsPath(path, PATH_CHARS, fits.c_str(), L"kim"));
    EXPECT_EQ(wcslen(path), 259u);
}
