#include "holidays.h"

#include <algorithm>

#include "civil_time.h"

namespace {

constexpr std::string_view SUBSTITUTE_HOLIDAY = "振替休日";
constexpr std::string_view DAY_BETWEEN_HOLIDAYS = "国民の休日";

// The n-th Monday of a month (n from 1).
int64_t NthMonday(int year, int month, int n)
{
    int64_t first = DaysFromCivil(year, month, 1);
    return first + (8 - IsoWeekday(first)) % 7 + 7 * (n - 1);
}

// The equinoxes by the almanac's approximation for 1980-2099, in integers
// (millionths of a day) so that every platform rounds alike.
int VernalEquinoxDay(int year)
{
    int n = year - 1980;
    return (int)((20843100 + 242194LL * n) / 1000000) - n / 4;
}

int AutumnalEquinoxDay(int year)
{
    int n = year - 1980;
    return (int)((23248800 + 242194LL * n) / 1000000) - n / 4;
}

// The days the law names ("国民の祝日"), in no particular order.
std::vector<NamedDay> NamedHolidays(int y)
{
    std::vector<NamedDay> days;
    auto add = [&](int month, int day, std::string_view name) {
        days.push_back({DaysFromCivil(y, month, day), name});
    };
    auto addDay = [&](int64_t day, std::string_view name) { days.push_back({day, name}); };

    add(1, 1, "元日");
    addDay(NthMonday(y, 1, 2), "成人の日");
    add(2, 11, "建国記念の日");
    if (y >= 2020) add(2, 23, "天皇誕生日");
    add(3, VernalEquinoxDay(y), "春分の日");
    add(4, 29, y >= 2007 ? "昭和の日" : "みどりの日");
    if (y == 2019) add(5, 1, "天皇の即位の日");
    add(5, 3, "憲法記念日");
    if (y >= 2007) add(5, 4, "みどりの日");
    add(5, 5, "こどもの日");

    // The Tokyo Olympics moved three holidays in 2020 and, postponed, in 2021.
    if (y == 2020) {
        add(7, 23, "海の日");
        add(7, 24, "スポーツの日");
        add(8, 10, "山の日");
    } else if (y == 2021) {
        add(7, 22, "海の日");
        add(7, 23, "スポーツの日");
        add(8, 8, "山の日");
    } else {
        if (y >= 2003) addDay(NthMonday(y, 7, 3), "海の日");
        else add(7, 20, "海の日");
        if (y >= 2016) add(8, 11, "山の日");
        addDay(NthMonday(y, 10, 2), y >= 2020 ? "スポーツの日" : "体育の日");
    }

    if (y >= 2003) addDay(NthMonday(y, 9, 3), "敬老の日");
    else add(9, 15, "敬老の日");
    add(9, AutumnalEquinoxDay(y), "秋分の日");
    if (y == 2019) add(10, 22, "即位礼正殿の儀の行われる日");
    add(11, 3, "文化の日");
    add(11, 23, "勤労感謝の日");
    if (y <= 2018) add(12, 23, "天皇誕生日");
    return days;
}

bool Contains(const std::vector<NamedDay>& days, int64_t day)
{
    return std::any_of(days.begin(), days.end(), [&](const NamedDay& d) { return d.day == day; });
}

}  // namespace

std::vector<NamedDay> NationalHolidays(int year)
{
    if (year < FIRST_HOLIDAY_YEAR || year > LAST_HOLIDAY_YEAR) return {};
    const std::vector<NamedDay> named = NamedHolidays(year);
    std::vector<NamedDay> days = named;
    // Since 2007 a holiday on a Sunday moves to the next day that is no holiday;
    // before, only to the Monday, and not at all when that was a holiday too.
    bool movesOn = year >= 2007;
    for (const NamedDay& holiday : named) {
        if (IsoWeekday(holiday.day) != 7) continue;
        int64_t next = holiday.day + 1;
        while (movesOn && Contains(named, next)) ++next;
        if (!Contains(named, next)) days.push_back({next, SUBSTITUTE_HOLIDAY});
    }
    // A day between two named holidays is a day off; before 2007 not when it
    // was a Sunday or already a substitute holiday.
    int64_t first = DaysFromCivil(year, 1, 1), last = DaysFromCivil(year, 12, 31);
    for (int64_t day = first + 1; day < last; ++day) {
        if (Contains(days, day) || !Contains(named, day - 1) || !Contains(named, day + 1)) continue;
        if (!movesOn && IsoWeekday(day) == 7) continue;
        days.push_back({day, DAY_BETWEEN_HOLIDAYS});
    }
    std::sort(days.begin(), days.end(), [](const NamedDay& a, const NamedDay& b) { return a.day < b.day; });
    return days;
}

std::string_view NationalHolidayName(int64_t day)
{
    // Every year at once, built on first use; the day rows ask for each of their days.
    static const std::vector<NamedDay> all = [] {
        std::vector<NamedDay> days;
        for (int year = FIRST_HOLIDAY_YEAR; year <= LAST_HOLIDAY_YEAR; ++year) {
            std::vector<NamedDay> ofYear = NationalHolidays(year);
            days.insert(days.end(), ofYear.begin(), ofYear.end());
        }
        return days;
    }();
    auto found = std::lower_bound(all.begin(), all.end(), day,
                                  [](const NamedDay& d, int64_t wanted) { return d.day < wanted; });
    return found != all.end() && found->day == day ? found->name : std::string_view();
}
