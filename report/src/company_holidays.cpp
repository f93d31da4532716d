#include "company_holidays.h"

#include <algorithm>

#include "cell_values.h"

namespace {

bool HasDigit(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

CompanyHolidays ReadCompanyHolidays(std::string_view bytes)
{
    CsvRows read = ReadCsv(bytes);
    CompanyHolidays result;
    result.problems = std::move(read.problems);
    for (const CsvRow& row : read.rows) {
        std::string_view date = CellAt(row, 0);
        int64_t day = 0;
        if (ParseCellDate(date, day)) {
            result.days.push_back({day, std::string(CellAt(row, 1))});
        } else if (&row == &read.rows.front() && !HasDigit(date)) {
            // The government's list opens with its column names.
        } else {
            result.problems.push_back({row.line, DescribeBadDate(date)});
        }
    }
    KeepFirstOfEachDate(result.days);
    return result;
}

void KeepFirstOfEachDate(std::vector<CompanyHoliday>& days)
{
    std::stable_sort(days.begin(), days.end(),
                     [](const CompanyHoliday& a, const CompanyHoliday& b) { return a.day < b.day; });
    auto repeated = std::unique(days.begin(), days.end(),
                                [](const CompanyHoliday& a, const CompanyHoliday& b) { return a.day == b.day; });
    days.erase(repeated, days.end());
}
