// Which report days are days off, and by what name: a national holiday, one
// of the company's, or the weekend.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "company_holidays.h"
#include "report_model.h"

// A company holiday whose line gives no name.
extern const char* const COMPANY_HOLIDAY_NAME;

// The national holiday's name, else the company's (company: by date), else
// 土曜日 or 日曜日, else empty.
std::string HolidayName(int64_t day, const std::vector<CompanyHoliday>& company);

// Sets every row's holiday.
void NameHolidays(std::vector<DayRow>& rows, const std::vector<CompanyHoliday>& company);
