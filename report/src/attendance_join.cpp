#include "attendance_join.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "civil_time.h"
#include "user_names.h"

namespace {

using DayKey = std::pair<std::string, int64_t>;  // the folded user and the date

// Whole minutes from a to b, rounded down; 0 when b is not later.
int64_t MinutesBetween(CivilSeconds a, CivilSeconds b) { return b > a ? (b - a) / 60 : 0; }

void SetClocked(DayRow& row, const ClockedDay& clocked)
{
    row.hasClockIn = clocked.hasStart, row.hasClockOut = clocked.hasEnd;
    row.clockInS = clocked.startS, row.clockOutS = clocked.endS;
}

// The source a clocked day without PC use is listed under: the user's only
// source, or the user alone.
using Homes = std::map<std::string, std::set<std::pair<std::string, std::string>>>;  // folded user: (source, place)
std::pair<std::string, std::string> HomeOf(const Homes& homes, const std::string& folded, const std::string& user)
{
    auto found = homes.find(folded);
    if (found != homes.end() && found->second.size() == 1) return *found->second.begin();
    return {user, ""};
}

}  // namespace

void JoinAttendance(std::vector<DayRow>& rows, const Attendance& attendance, int64_t divergenceMin)
{
    std::map<DayKey, const ClockedDay*> clocked;
    for (const ClockedDay& day : attendance.days) clocked.emplace(DayKey{FoldUserName(day.user), day.day}, &day);
    std::set<DayKey> used;
    Homes homes;
    std::map<std::string, std::string> logUsers;  // folded user: as the logs spell it
    for (DayRow& row : rows) {
        DayKey key{FoldUserName(row.user), row.day};
        homes[key.first].insert({row.source, row.place});
        logUsers.emplace(key.first, row.user);
        auto found = clocked.find(key);
        if (found == clocked.end()) {
            row.flags |= FLAG_NO_ATTENDANCE;
            continue;
        }
        used.insert(key);
        SetClocked(row, *found->second);
        CivilSeconds midnight = row.day * SECONDS_PER_DAY;
        if (row.hasClockIn) row.beforeClockInMin = MinutesBetween(row.first, midnight + row.clockInS);
        if (row.hasClockOut) row.afterClockOutMin = MinutesBetween(midnight + row.clockOutS, row.last);
        if (row.beforeClockInMin > divergenceMin || row.afterClockOutMin > divergenceMin) row.flags |= FLAG_DIVERGENCE;
    }
    bool added = false;
    for (const auto& entry : clocked) {
        if (used.count(entry.first)) continue;
        const ClockedDay& day = *entry.second;
        DayRow row;
        auto known = logUsers.find(entry.first.first);
        row.user = known != logUsers.end() ? known->second : day.user;
        std::tie(row.source, row.place) = HomeOf(homes, entry.first.first, row.user);
        row.day = day.day;
        row.weekday = IsoWeekday(day.day);
        row.first = row.last = day.day * SECONDS_PER_DAY;
        row.flags = FLAG_NO_PC_RECORD;
        SetClocked(row, day);
        rows.push_back(std::move(row));
        added = true;
    }
    if (added)
        std::stable_sort(rows.begin(), rows.end(), [](const DayRow& a, const DayRow& b) {
            return a.source != b.source ? a.source < b.source : a.day < b.day;
        });
}
