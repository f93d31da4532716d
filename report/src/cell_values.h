// Dates and times as people and spreadsheets write them in a cell.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The text without spaces and tabs around it.
std::string_view TrimCell(std::string_view text);

// "2026-05-06" or "2026/5/6" (month and day of one or two digits, one kind of
// separator) as days since 1970-01-01; false unless the date exists.
bool ParseCellDate(std::string_view text, int64_t& days);

// "9:05", "09:05:30", "26:30" (hours of one or two digits, minutes and seconds of
// two, each below 60) as seconds; false for anything else. Hours may pass 24:
// the caller bounds them.
bool ParseCellTime(std::string_view text, int64_t& seconds);

// What a person is told of a cell that is not a date, or of a named column's
// cell that is not a time.
std::string DescribeBadDate(std::string_view text);
std::string DescribeBadTime(std::string_view column, std::string_view text);
