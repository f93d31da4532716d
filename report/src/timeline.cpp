#include "timeline.h"

#include <algorithm>
#include <utility>

#include "civil_time.h"
#include "day_figures.h"

namespace {

// A line up to this much earlier than the latest one is jitter: the same moment.
constexpr int64_t JITTER_S = 2;
// Where a day has too few session-state lines to tell its interval.
constexpr int64_t FALLBACK_INTERVAL_S = 600;
constexpr int64_t MIN_STATE_SPACINGS = 10;
// Identical lines are copies of one line only when close in time; older ones
// are forgotten so that memory does not grow with the days read. A file's lines
// lie within a day of its date and the files come in date order, so a copy is
// never three days older than the latest line.
constexpr int64_t DUPLICATE_WINDOW_S = 3 * SECONDS_PER_DAY;

void AddSpacing(Spacings& spacings, int64_t spacing, int64_t count)
{
    // Nearly every spacing is the one before.
    if (!spacings.empty() && spacings.back().first == spacing) {
        spacings.back().second += count;
        return;
    }
    for (auto& entry : spacings) {
        if (entry.first == spacing) {
            entry.second += count;
            return;
        }
    }
    spacings.emplace_back(spacing, count);
}

// The most common spacing, the smaller on a tie.
int64_t MostCommon(const Spacings& spacings)
{
    int64_t best = 0, bestCount = 0;
    for (const auto& entry : spacings) {
        if (entry.second > bestCount || (entry.second == bestCount && entry.first < best)) {
            best = entry.first;
            bestCount = entry.second;
        }
    }
    return best;
}

int64_t ReportDay(const SourceTimeline& t, CivilSeconds at)
{
    return FloorDiv(at - t.options.dayStartS, SECONDS_PER_DAY);
}

CivilSeconds DayBegin(const SourceTimeline& t, int64_t day)
{
    return day * SECONDS_PER_DAY + t.options.dayStartS;
}

DayRow& Day(SourceTimeline& t, int64_t day)
{
    if (!t.cachedRow || t.cachedRowDay != day) {
        t.cachedRow = &t.days[day];
        t.cachedRowDay = day;
    }
    return *t.cachedRow;
}

bool SeenBefore(SourceTimeline& t, const LogLine& line)
{
    uint64_t key = line.textHash ^ ((uint64_t)line.time * 0x9E3779B97F4A7C15ull);
    CivilSeconds horizon = t.latest - DUPLICATE_WINDOW_S;
    if (!t.any || line.time > t.latest) {
        // Later than everything seen: it cannot be a copy.
        t.recent.emplace_back(line.time, key);
        while (t.recentHead < t.recent.size() && t.recent[t.recentHead].first < horizon) ++t.recentHead;
        if (t.recentHead > 4096 && t.recentHead * 2 > t.recent.size()) {
            t.recent.erase(t.recent.begin(), t.recent.begin() + (long)t.recentHead);
            t.recentHead = 0;
        }
        return false;
    }
    auto same = std::lower_bound(t.recent.begin() + (long)t.recentHead, t.recent.end(),
                                 std::make_pair(line.time, (uint64_t)0));
    for (; same != t.recent.end() && same->first == line.time; ++same)
        if (same->second == key) return true;
    if (t.backInTime.count(key)) return true;
    if (line.time == t.latest) {
        t.recent.emplace_back(line.time, key);
        return false;
    }
    t.backInTime.insert(key);
    t.backInTimeOrder.emplace_back(line.time, key);
    while (!t.backInTimeOrder.empty() && t.backInTimeOrder.front().first < horizon) {
        t.backInTime.erase(t.backInTimeOrder.front().second);
        t.backInTimeOrder.pop_front();
    }
    return false;
}

// Places a decided stretch on its report days, split at each day start. The
// whole days inside a silence (off or asleep) get no row: a user's union finds
// them in one record, so nothing grows with how long the silence was.
void PlaceStretch(SourceTimeline& t, const Stretch& s, State state)
{
    int64_t firstDay = ReportDay(t, s.begin), lastDay = ReportDay(t, s.end - 1);
    bool quiet = state == State::Off || state == State::Suspended;
    for (int64_t day = firstDay; day <= lastDay; ++day) {
        if (quiet && day == firstDay + 1 && day < lastDay) {
            if (t.options.keepInactiveDays)
                t.quietDays.push_back(QuietDays{day, lastDay - 1,
                                                Interval{DayBegin(t, day), DayBegin(t, day + 1), state, s.opened, s.closed}});
            day = lastDay - 1;
            continue;
        }
        CivilSeconds begin = std::max(s.begin, DayBegin(t, day)), end = std::min(s.end, DayBegin(t, day + 1));
        AppendInterval(Day(t, day).intervals, Interval{begin, end, state, s.opened, s.closed});
    }
}

// A silence of more than a day is off (or asleep) whatever the heartbeat.
int64_t GapLimit(const SourceTimeline& t, int64_t interval, bool found)
{
    if (t.options.gapS > 0) return std::min(t.options.gapS, SECONDS_PER_DAY);
    return found ? std::min(3 * interval, SECONDS_PER_DAY) : FALLBACK_INTERVAL_S;
}

void AddToSource(SourceTimeline& t, const CalendarDay& c)
{
    for (const auto& entry : c.spacings) AddSpacing(t.sourceSpacings, entry.first, entry.second);
    t.sourceSpacingCount += c.spacingCount;
}

// The day's own heartbeat, 0 while it has too few session-state lines to tell.
int64_t OwnInterval(const CalendarDay& c)
{
    return c.spacingCount >= MIN_STATE_SPACINGS ? MostCommon(c.spacings) : 0;
}

// Decides a calendar day's stretches and starts once its gap limit is known.
void DecideDay(SourceTimeline& t, int64_t calendarDay, CalendarDay& c, int64_t gap)
{
    t.intervals[calendarDay] = OwnInterval(c);
    for (const Stretch& s : c.stretches) {
        State state = s.state;
        if (state == State::Suspended) {
            // The timer does not fire asleep: two session-state lines within the
            // gap limit show the PC awake from the first of them on.
            if (s.heartbeats && s.spacing <= gap) t.wokenEpisode = s.episode;
            if (t.wokenEpisode == s.episode) state = s.awake;
        }
        // A silence inside a suspension is part of the suspension.
        bool silent = s.spacing > gap && state != State::Suspended;
        PlaceStretch(t, s, silent ? State::Off : state);
    }
    for (const PendingStart& start : c.starts) {
        DayRow& row = Day(t, ReportDay(t, start.at));
        if (start.silenceS > gap) {
            row.flags |= FLAG_ABNORMAL_END;
            row.marks.push_back(Mark{start.at, MarkKind::AbnormalEnd, start.where});
        } else {
            row.flags |= FLAG_TWO_INSTANCES;
        }
    }
    c.stretches.clear();
    c.stretches.shrink_to_fit();
    c.starts.clear();
}

// Calendar days before `before` are decided now while their own lines tell
// their interval; from the first that does not, they wait for the source's
// interval at its end. In order, as the end of a suspension carries on.
void DecideKnownDays(SourceTimeline& t, int64_t before)
{
    while (!t.calendar.empty() && t.calendar.begin()->first < before) {
        CalendarDay& c = t.calendar.begin()->second;
        int64_t own = OwnInterval(c);
        if (own == 0 && t.options.gapS == 0) return;
        DecideDay(t, t.calendar.begin()->first, c, GapLimit(t, own, own > 0));
        AddToSource(t, c);
        if (t.cached == &c) t.cached = nullptr;
        t.calendar.erase(t.calendar.begin());
    }
}


CalendarDay& Calendar(SourceTimeline& t, CivilSeconds at)
{
    int64_t day = FloorDiv(at, SECONDS_PER_DAY);
    if (!t.cached || t.cachedDay != day) {
        t.cached = &t.calendar[day];
        t.cachedDay = day;
    }
    return *t.cached;
}

void AddStretch(SourceTimeline& t, CivilSeconds at, LineRef ref, bool stateLine)
{
    std::vector<Stretch>& stretches = Calendar(t, t.latest).stretches;
    int64_t spacing = at - t.latest;
    bool suspended = t.state == State::Suspended;
    State awake = suspended ? t.beforeSuspend : t.state;
    bool heartbeats = suspended && t.previousWasState && stateLine;  // only a suspension asks
    if (!stretches.empty()) {
        Stretch& last = stretches.back();
        if (last.end == t.latest && last.state == t.state && last.spacing == spacing && last.awake == awake &&
            last.heartbeats == heartbeats && last.episode == t.episode) {
            last.end = at;
            last.closed = ref;
            return;
        }
    }
    stretches.push_back(Stretch{t.latest, at, spacing, t.state, awake, heartbeats, t.episode, t.previous, ref});
}

void CountLine(SourceTimeline& t, const LogLine& line, CivilSeconds at, LineRef ref)
{
    switch (line.kind) {
    case LineKind::Start:
        ++Day(t, ReportDay(t, at)).starts;
        Day(t, ReportDay(t, at)).marks.push_back(Mark{at, MarkKind::Start, ref});
        break;
    case LineKind::Exit:
        ++Day(t, ReportDay(t, at)).exits;
        Day(t, ReportDay(t, at)).marks.push_back(Mark{at, MarkKind::Exit, ref});
        break;
    case LineKind::Lock: ++Day(t, ReportDay(t, at)).locks; break;
    case LineKind::Unlock: ++Day(t, ReportDay(t, at)).unlocks; break;
    case LineKind::Suspend: ++Day(t, ReportDay(t, at)).suspends; break;
    // A wake-up is counted once, however many resume codes announce it (18
    // then 7), and also when no suspend came before (a critical sleep).
    case LineKind::Resume:
        if (!t.previousWasResume) ++Day(t, ReportDay(t, at)).resumes;
        break;
    default: break;
    }
}

// The state after a line, from the state before it. Nothing here depends on
// the gap limit, so the stream can go on before that limit is known.
void ApplyLine(SourceTimeline& t, const LogLine& line)
{
    switch (line.kind) {
    case LineKind::Start:
    case LineKind::Logon:
        t.state = State::Active;
        break;
    case LineKind::Exit:
    case LineKind::Logoff:
        t.state = State::Off;
        break;
    case LineKind::Suspend:
        if (t.state != State::Suspended) {
            t.beforeSuspend = t.state == State::Locked ? State::Locked : State::Active;
            t.state = State::Suspended;
        }
        ++t.episode;  // a new sleep, which only later session-state lines can show ended
        break;
    case LineKind::Resume:
        if (t.state == State::Suspended) t.state = t.beforeSuspend;
        break;
    case LineKind::Lock:
        (t.state == State::Suspended ? t.beforeSuspend : t.state) = State::Locked;
        break;
    case LineKind::Unlock:
        (t.state == State::Suspended ? t.beforeSuspend : t.state) = State::Active;
        break;
    case LineKind::EndLogoff:
    case LineKind::EndShutdown:
    case LineKind::EndCancelled:
        // A session end changes no state: a cancelled one is common.
        break;
    default:
        // Any other line shows the program running.
        if (t.state == State::Off) t.state = State::Active;
        break;
    }
}

void TrackEnds(SourceTimeline& t, const LogLine& line, CivilSeconds at, CivilSeconds silenceFrom, LineRef ref)
{
    switch (line.kind) {
    case LineKind::Start:
        if (t.any && !t.endedByExit && !t.endedBySession)
            Calendar(t, silenceFrom).starts.push_back(PendingStart{at, at - silenceFrom, ref});
        t.endedByExit = t.endedBySession = false;
        break;
    case LineKind::Exit: t.endedByExit = true; break;
    // Windows may end the program before it writes its exit line.
    case LineKind::EndLogoff:
    case LineKind::EndShutdown: t.endedBySession = true; break;
    case LineKind::EndCancelled: t.endedBySession = false; break;
    default: break;
    }
}

void TrackHeartbeat(SourceTimeline& t, const LogLine& line, CivilSeconds at)
{
    if (line.kind != LineKind::SessionState) return;
    t.anyStateLine = true;
    // Only a spacing between two of the day's own lines tells the day's interval:
    // the one from the day before spans the night, and would make nine count as ten.
    if (t.hasLastStateLine && at > t.lastStateLine &&
        FloorDiv(at, SECONDS_PER_DAY) == FloorDiv(t.lastStateLine, SECONDS_PER_DAY)) {
        int64_t spacing = at - t.lastStateLine;
        CalendarDay& c = Calendar(t, at);
        AddSpacing(c.spacings, spacing, 1);
        ++c.spacingCount;
    }
    t.hasLastStateLine = true;
    t.lastStateLine = at;
}

// False when the line went back in time by more than jitter.
bool FeedLine(SourceTimeline& t, const LogLine& line, uint32_t fileIndex)
{
    if (SeenBefore(t, line)) return true;
    LineRef ref{fileIndex, line.line};
    CivilSeconds at = line.time;
    bool inOrder = true;
    if (t.any && line.time < t.latest) {
        if (t.latest - line.time > JITTER_S) {
            Day(t, ReportDay(t, line.time)).flags |= FLAG_CLOCK_JUMP;
            inOrder = false;
        }
        at = t.latest;  // figures are on the time actually covered
    }
    if (t.any && at > t.latest) AddStretch(t, at, ref, line.kind == LineKind::SessionState);
    TrackEnds(t, line, at, t.latest, ref);
    // Every session-state line of the days before this one has been seen.
    if (t.any) DecideKnownDays(t, FloorDiv(at, SECONDS_PER_DAY));
    TrackHeartbeat(t, line, at);
    CountLine(t, line, at, ref);
    ApplyLine(t, line);
    t.any = true;
    t.latest = at;
    t.previous = ref;
    t.previousWasState = line.kind == LineKind::SessionState;
    if (!t.previousWasState) t.previousWasResume = line.kind == LineKind::Resume;
    return inOrder;
}

bool InRange(const TimelineOptions& options, int64_t day)
{
    return (!options.hasFrom || day >= options.fromDay) && (!options.hasTo || day <= options.toDay);
}

void SortIntervals(std::vector<Interval>& intervals)
{
    std::sort(intervals.begin(), intervals.end(),
              [](const Interval& a, const Interval& b) { return a.begin < b.begin; });
    std::vector<Interval> merged;
    merged.reserve(intervals.size());
    for (const Interval& i : intervals) AppendInterval(merged, i);
    intervals.swap(merged);
}

// Only [first, last) is counted and drawn; the rest of the day is kept only for
// a user's union.
void KeepCounted(DayRow& row)
{
    auto counted = [&](const Interval& i) { return i.end > row.first && i.begin < row.last; };
    std::vector<Interval> kept;
    kept.reserve((size_t)std::count_if(row.intervals.begin(), row.intervals.end(), counted));
    for (Interval i : row.intervals) {
        if (!counted(i)) continue;
        i.begin = std::max(i.begin, row.first);
        i.end = std::min(i.end, row.last);
        kept.push_back(i);
    }
    row.intervals.swap(kept);
}

}  // namespace

SourceTimeline StartSource(const SourceIdentity& identity, const TimelineOptions& options,
                           std::shared_ptr<const std::vector<std::string>> files)
{
    SourceTimeline t;
    t.identity = identity;
    t.options = options;
    t.files = std::move(files);
    return t;
}

std::vector<uint32_t> FeedFile(SourceTimeline& t, const FileLines& file, uint32_t fileIndex, int64_t fileDay)
{
    // Damage counts on the day of the file it is in; a line dated far away is
    // as unusable as one without the layout.
    size_t unusable = file.badLines.size() + file.farDated.size();
    if (unusable != 0 || file.tornLine) {
        DayRow& row = Day(t, fileDay);
        row.badLines += (int64_t)unusable;
        if (unusable != 0) row.flags |= FLAG_BAD_LINES;
        if (file.tornLine) row.flags |= FLAG_TORN_LINE;
    }
    std::vector<uint32_t> backInTime;
    for (const LogLine& line : file.lines)
        if (!FeedLine(t, line, fileIndex)) backInTime.push_back(line.line);
    return backInTime;
}

std::vector<DayRow> FinishSource(SourceTimeline& t)
{
    for (const auto& entry : t.calendar) AddToSource(t, entry.second);
    bool sourceFound = t.sourceSpacingCount >= MIN_STATE_SPACINGS;
    int64_t sourceInterval = sourceFound ? MostCommon(t.sourceSpacings) : FALLBACK_INTERVAL_S;
    for (auto& entry : t.calendar) {
        int64_t own = OwnInterval(entry.second);
        DecideDay(t, entry.first, entry.second,
                  own > 0 ? GapLimit(t, own, true) : GapLimit(t, sourceInterval, sourceFound));
    }
    t.calendar.clear();

    std::shared_ptr<const std::vector<QuietDays>> quietDays;
    if (!t.quietDays.empty()) quietDays = std::make_shared<const std::vector<QuietDays>>(std::move(t.quietDays));
    std::vector<DayRow> rows;
    rows.reserve(t.days.size());
    for (auto& entry : t.days) {
        DayRow& row = entry.second;
        if (!InRange(t.options, entry.first)) continue;
        SortIntervals(row.intervals);
        row.day = entry.first;
        row.dayStartS = t.options.dayStartS;
        ComputeFigures(row);
        // A day without an active second has no row, but may still count in a user's union.
        if (!t.options.keepInactiveDays) {
            if (row.activeS == 0) continue;
            KeepCounted(row);
        }
        row.source = t.identity.source;
        row.user = t.identity.user;
        row.place = t.identity.place;
        row.files = t.files;
        row.quietDays = quietDays;
        auto known = t.intervals.find(entry.first);
        int64_t dayInterval = known != t.intervals.end() ? known->second : 0;
        row.heartbeatS = !t.anyStateLine ? 0 : dayInterval > 0 ? dayInterval : sourceInterval;
        SortMarks(row.marks);
        rows.push_back(std::move(row));
    }
    return rows;
}
