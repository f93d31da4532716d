#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "civil_time.h"
#include "day_holidays.h"
#include "holidays.h"

namespace {

// "MM-DD name, " for each of the year's holidays.
std::string Listed(int year)
{
    std::string listed;
    for (const NamedDay& d : NationalHolidays(year)) listed += FormatDate(d.day).substr(5) + " " + std::string(d.name) + ", ";
    return listed;
}

}  // namespace

// Two whole years as the Cabinet Office publishes them.
TEST(Holidays, WholeYears)
{
    EXPECT_EQ(Listed(2025), "01-01 元日, 01-13 成人の日, 02-11 建国記念の日, 02-23 天皇誕生日, 02-24 振替休日, "
                            "03-20 春分の日, 04-29 昭和の日, 05-03 憲法記念日, 05-04 みどりの日, 05-05 こどもの日, "
                            "05-06 振替休日, 07-21 海の日, 08-11 山の日, 09-15 敬老の日, 09-23 秋分の日, "
                            "10-13 スポーツの日, 11-03 文化の日, 11-23 勤労感謝の日, 11-24 振替休日, ");
    EXPECT_EQ(Listed(2026), "01-01 元日, 01-12 成人の日, 02-11 建国記念の日, 02-23 天皇誕生日, 03-20 春分の日, "
                            "04-29 昭和の日, 05-03 憲法記念日, 05-04 みどりの日, 05-05 こどもの日, 05-06 振替休日, "
                            "07-20 海の日, 08-11 山の日, 09-21 敬老の日, 09-22 国民の休日, 09-23 秋分の日, "
                            "10-12 スポーツの日, 11-03 文化の日, 11-23 勤労感謝の日, ");
    EXPECT_EQ(Listed(1999) + Listed(2100), "");
}

// The law's changes over the years, the special years and the equinoxes; "" is a working day.
TEST(Holidays, ChangesSpecialYearsAndEquinoxes)
{
    const struct {
        int year, month, day;
        const char* name;
    } rows[] = {
        // Before 2007: a substitute only on the Monday, no day off between two holidays on a Sunday.
        {2000, 5, 4, "国民の休日"}, {2003, 5, 4, ""}, {2006, 1, 2, "振替休日"}, {2006, 4, 29, "みどりの日"},
        {2002, 7, 20, "海の日"}, {2002, 9, 16, "振替休日"}, {2003, 7, 21, "海の日"}, {2007, 4, 29, "昭和の日"},
        // From 2007 a substitute moves past the other holidays.
        {2008, 5, 6, "振替休日"}, {2009, 9, 22, "国民の休日"}, {2015, 8, 11, ""}, {2016, 8, 11, "山の日"},
        {2018, 10, 8, "体育の日"}, {2018, 12, 23, "天皇誕生日"}, {2018, 12, 24, "振替休日"}, {2019, 2, 23, ""},
        // 2019: the enthronement; 2020 and 2021: the Olympics' moves.
        {2019, 4, 30, "国民の休日"}, {2019, 5, 1, "天皇の即位の日"}, {2019, 5, 2, "国民の休日"},
        {2019, 5, 6, "振替休日"}, {2019, 10, 22, "即位礼正殿の儀の行われる日"}, {2019, 12, 23, ""},
        {2020, 2, 24, "振替休日"}, {2020, 7, 20, ""}, {2020, 7, 23, "海の日"}, {2020, 7, 24, "スポーツの日"},
        {2020, 8, 10, "山の日"}, {2020, 8, 11, ""}, {2020, 10, 12, ""}, {2021, 7, 19, ""}, {2021, 7, 22, "海の日"},
        {2021, 7, 23, "スポーツの日"}, {2021, 8, 8, "山の日"}, {2021, 8, 9, "振替休日"}, {2021, 10, 11, ""},
        {2022, 10, 10, "スポーツの日"},
        // Equinoxes as the almanac gives them.
        {2002, 3, 21, "春分の日"}, {2012, 9, 22, "秋分の日"}, {2012, 9, 23, ""}, {2023, 3, 21, "春分の日"},
        {2044, 9, 22, "秋分の日"}, {2092, 3, 19, "春分の日"}, {2099, 9, 23, "秋分の日"}, {2100, 1, 1, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(NationalHolidayName(DaysFromCivil(r.year, r.month, r.day)), r.name)
            << r.year << "-" << r.month << "-" << r.day;
}

// What a day off is called: the nation's name first, then the company's (its
// own word when the file gives none), then the weekend.
TEST(Holidays, DayOffNames)
{
    const std::vector<CompanyHoliday> company = {
        {DaysFromCivil(2026, 8, 13), ""}, {DaysFromCivil(2026, 8, 14), "夏季休業"}, {DaysFromCivil(2026, 11, 3), "創立記念日"},
        {DaysFromCivil(2026, 12, 5), "棚卸"}};
    const struct {
        int month, day;
        const char* name;
    } rows[] = {
        {8, 13, "会社休日"}, {8, 14, "夏季休業"}, {8, 12, ""},   {11, 3, "文化の日"}, {5, 6, "振替休日"},
        {12, 5, "棚卸"},     {12, 12, "土曜日"},  {12, 6, "日曜日"}, {12, 7, ""},   {12, 31, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(HolidayName(DaysFromCivil(2026, r.month, r.day), company), r.name) << r.month << "-" << r.day;
}
