// Japan's national holidays, and the days the holiday law makes days off
// (substitute holidays, a day between two holidays), computed by the law's
// rules as they stood in each year from 2000 to 2099.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

constexpr int FIRST_HOLIDAY_YEAR = 2000;
constexpr int LAST_HOLIDAY_YEAR = 2099;

struct NamedDay {
    int64_t day = 0;           // days since 1970-01-01
    std::string_view name;     // Japanese, UTF-8; a static string
};

// The year's holidays in date order; empty outside FIRST_HOLIDAY_YEAR..LAST_HOLIDAY_YEAR.
std::vector<NamedDay> NationalHolidays(int year);

// The holiday's Japanese name ("スポーツの日", "振替休日", "国民の休日"), or empty.
std::string_view NationalHolidayName(int64_t day);
