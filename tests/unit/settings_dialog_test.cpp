#include <gtest/gtest.h>

#include "ui/settings_dialog.h"

TEST(SettingsField, ReadsTheNumberItShows)
{
    struct Row {
        const wchar_t* text;
        const wchar_t* separator;
        bool ok;
        uint32_t value;
    };
    const Row rows[] = {
        {L"1,500", L",", true, 1500},
        {L"32,767", L",", true, 32767},
        {L"1500", L",", true, 1500},
        {L"0", L",", true, 0},
        {L"1,234,567", L",", true, 1234567},
        {L"4,294,967,295", L",", true, 4294967295u},
        {L"4294967295", L",", true, 4294967295u},
        {L"2147483648", L",", true, 2147483648u},
        {L" 42 ", L",", true, 42},
        {L"", L",", false, 0},
        {L"abc", L",", false, 0},
        {L"4294967296", L",", false, 0},
        {L"99999999999999999999", L",", false, 0},
        {L",500", L",", false, 0},
        {L"1,500,", L",", false, 0},
        {L"1,,500", L",", false, 0},
        {L"1 500", L",", false, 0},
        {L"-5", L",", false, 0},
        {L"12abc", L",", false, 0},
        {L"1.500", L".", true, 1500},
        {L"1,500", L".", false, 0},
        {L"1\u00A0500", L"\u00A0", true, 1500},
        {L"1'500", L"'", true, 1500},
        {L"1,500", L"", false, 0},
        {L"1,500", nullptr, false, 0},
    };
    for (const Row& r : rows) {
        uint32_t value = 777;
        EXPECT_EQ(ParseFieldNumber(r.text, r.separator, &value), r.ok) << "text [" << r.text << "]";
        EXPECT_EQ(value, r.ok ? r.value : 777u) << "text [" << r.text << "] keeps the old value when refused";
    }
}
