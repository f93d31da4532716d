#include "day_figures.h"

#include <algorithm>

#include "civil_time.h"
#include "night_time.h"

void AppendInterval(std::vector<Interval>& intervals, const Interval& piece)
{
    if (!intervals.empty()) {
        Interval& last = intervals.back();
        if (last.end == piece.begin && last.state == piece.state) {
            last.end = piece.end;
            last.closed = piece.closed;
            return;
        }
    }
    intervals.push_back(piece);
}

void ComputeFigures(DayRow& row)
{
    row.weekday = IsoWeekday(row.day);
    bool found = false;
    for (const Interval& i : row.intervals) {
        if (i.state != State::Active || i.end <= i.begin) continue;
        if (!found) row.first = i.begin;
        row.last = i.end;
        found = true;
    }
    if (!found) return;
    row.spanS = row.last - row.first;
    int64_t covered = 0;
    for (const Interval& i : row.intervals) {
        CivilSeconds begin = std::max(i.begin, row.first), end = std::min(i.end, row.last);
        if (end <= begin) continue;
        covered += end - begin;
        switch (i.state) {
        case State::Active: row.activeS += end - begin; break;
        case State::Locked: row.lockedS += end - begin; break;
        case State::Suspended: row.suspendedS += end - begin; break;
        case State::Off: row.offS += end - begin; break;
        }
    }
    row.offS += row.spanS - covered;
    std::vector<CivilSpan> active;
    for (const Interval& i : row.intervals)
        if (i.state == State::Active) active.push_back({i.begin, i.end});
    row.nightS = NightSeconds(active, row.first, row.last);
}

void SortMarks(std::vector<Mark>& marks)
{
    std::sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.at < b.at; });
}
