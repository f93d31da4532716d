#include "day_holidays.h"

#include <algorithm>

#include "civil_time.h"
#include "holidays.h"

const char* const COMPANY_HOLIDAY_NAME = "会社休日";

std::string HolidayName(int64_t day, const std::vector<CompanyHoliday>& company)
{
    std::string_view national = NationalHolidayName(day);
    if (!national.empty()) return std::string(national);
    auto found = std::lower_bound(company.begin(), company.end(), day,
                                  [](const CompanyHoliday& h, int64_t d) { return h.day < d; });
    if (found != company.end() && found->day == day) return found->name.empty() ? COMPANY_HOLIDAY_NAME : found->name;
    int weekday = IsoWeekday(day);
    if (weekday == 6) return "土曜日";
    if (weekday == 7) return "日曜日";
    return {};
}

void NameHolidays(std::vector<DayRow>& rows, const std::vector<CompanyHoliday>& company)
{
    for (DayRow& row : rows) row.holiday = HolidayName(row.day, company);
}
