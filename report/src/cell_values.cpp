#include "cell_values.h"

#include "civil_time.h"

std::string_view TrimCell(std::string_view text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool ParseCellDate(std::string_view text, int64_t& days)
{
    if (text.size() < 8 || text.size() > 10) return false;
    char separator = text[4];
    if (separator != '-' && separator != '/') return false;
    size_t second = text.find(separator, 5);
    if (second == std::string_view::npos) return false;
    std::string_view month = text.substr(5, second - 5), day = text.substr(second + 1);
    if (month.empty() || month.size() > 2 || day.empty() || day.size() > 2) return false;
    return ParseDateFields(text.substr(0, 4), month, day, days);
}

bool ParseCellTime(std::string_view text, int64_t& seconds)
{
    size_t colon = text.find(':');
    if (colon == 0 || colon > 2) return false;
    std::string_view rest = text.substr(colon + 1);
    if (rest.size() != 2 && !(rest.size() == 5 && rest[2] == ':')) return false;
    int h, m, s = 0;
    if (!ParseDigits(text.substr(0, colon), h) || !ParseDigits(rest.substr(0, 2), m) || m > 59) return false;
    if (rest.size() == 5 && (!ParseDigits(rest.substr(3, 2), s) || s > 59)) return false;
    seconds = h * 3600 + m * 60 + s;
    return true;
}

std::string DescribeBadDate(std::string_view text)
{
    return "日付として読めません (YYYY-MM-DD か YYYY/M/D): " + std::string(text);
}

std::string DescribeBadTime(std::string_view column, std::string_view text)
{
    return std::string(column) + "を時刻として読めません (H:MM か H:MM:SS): " + std::string(text);
}
