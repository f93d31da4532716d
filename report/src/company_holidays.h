// The --holidays file: the company's own days off. One date a line
// ("2026-08-13" or "2026/8/13", optionally ",name"), or the government's
// holiday list as it is downloaded (a header line, then "2026/1/1,元日", CP932).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "csv_reader.h"

struct CompanyHoliday {
    int64_t day = 0;     // days since 1970-01-01
    std::string name;    // empty when the line gives none
};

struct CompanyHolidays {
    std::vector<CompanyHoliday> days;  // by date, each date once (its first line's name)
    std::vector<LineProblem> problems;
};

CompanyHolidays ReadCompanyHolidays(std::string_view bytes);

// By date, each date once: the first of it in the order given.
void KeepFirstOfEachDate(std::vector<CompanyHoliday>& days);
