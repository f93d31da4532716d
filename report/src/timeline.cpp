#include "timeline.h"

#include <algorithm>
#include <deque>
#include <map>
#include <unordered_set>
#include <utility>

#include "civil_time.h"

namespace {

// A line up to this much earlier than the latest one is jitter: the same moment.
constexpr int64_t JITTER_S = 2;
// Where a day has too few session-state lines to tell its interval.
constexpr int64_t FALLBACK_INTERVAL_S = 600;
constexpr int64_t MIN_STATE_SPACINGS = 10;
// Identical lines are copies of one line only when close in time; older ones
// are forgotten so that memory does not grow with the days read.
constexpr int64_t DUPLICATE_WINDOW_S = 2 * SECONDS_PER_DAY;

// Consecutive lines in one state and at one spacing (a run of heartbeats),
// before the gap limit is known: either every spacing in it is a silence or none is.
struct Stretch {
    CivilSeconds begin, end;
    int64_t spacing;
    State state;
    Record opened, closed;
};

// A start line whose flag waits for the gap limit of the silence before it.
struct PendingStart {
    CivilSeconds at;
    int64_t silenceS;
    Record record;
};

// Spacings of consecutive session-state lines, as (spacing, count).
using Spacings = std::vector<std::pair<int64_t, int64_t>>;

struct CalendarDay {
    Spacings spacings;
    int64_t spacingCount = 0;
    std::vector<Stretch> stretches;     // begun on this day, not yet decided
    std::vector<PendingStart> starts;   // whose silence began on this day
};

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

}  // namespace

struct SourceTimeline {
    SourceIdentity identity;
    TimelineOptions options;
    std::shared_ptr<const std::vector<std::string>> files;

    // The stream so far.
    bool any = false;
    CivilSeconds latest = 0;        // the latest time seen, what later lines are clamped to
    Record previous;
    State state = State::Active;
    State beforeSuspend = State::Active;
    bool endedByExit = false;       // since the last start
    bool endedBySession = false;
    bool anyStateLine = false;
    bool hasLastStateLine = false;
    CivilSeconds lastStateLine = 0;

    // Lines as they came, in time order, for finding copies; the few that
    // came back in time are kept apart.
    std::vector<std::pair<CivilSeconds, uint64_t>> recent;
    size_t recentHead = 0;
    std::unordered_set<uint64_t> backInTime;
    std::deque<std::pair<CivilSeconds, uint64_t>> backInTimeOrder;

    std::map<int64_t, CalendarDay> calendar;  // open calendar days
    int64_t cachedDay = 0;
    CalendarDay* cached = nullptr;            // calendar[cachedDay]: most lines fall on it
    std::map<int64_t, int64_t> intervals;     // per decided calendar day; 0 when its lines do not tell
    Spacings sourceSpacings;
    int64_t sourceSpacingCount = 0;

    std::map<int64_t, DayRow> days;           // by report day
    int64_t cachedRowDay = 0;
    DayRow* cachedRow = nullptr;              // days[cachedRowDay]
};

namespace {

int64_t ReportDay(const SourceTimeline& t, CivilSeconds at)
{
    return FloorDiv(at - t.options.dayStartS, SECONDS_PER_DAY);
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

// Places a decided stretch on its report days, split at each day start.
void PlaceStretch(SourceTimeline& t, const Stretch& s, State state)
{
    CivilSeconds begin = s.begin;
    while (begin < s.end) {
        int64_t day = ReportDay(t, begin);
        CivilSeconds dayEnd = (day + 1) * SECONDS_PER_DAY + t.options.dayStartS;
        CivilSeconds end = std::min(s.end, dayEnd);
        AppendInterval(Day(t, day).intervals, Interval{begin, end, state, s.opened, s.closed});
        begin = end;
    }
}

int64_t GapLimit(const SourceTimeline& t, int64_t interval, bool found)
{
    if (t.options.gapS > 0) return t.options.gapS;
    return found ? 3 * interval : FALLBACK_INTERVAL_S;
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
        // A silence inside a suspension is part of the suspension.
        bool silent = s.spacing > gap && s.state != State::Suspended;
        PlaceStretch(t, s, silent ? State::Off : s.state);
    }
    for (const PendingStart& start : c.starts) {
        DayRow& row = Day(t, ReportDay(t, start.at));
        if (start.silenceS > gap) {
            row.flags |= FLAG_ABNORMAL_END;
            row.marks.push_back(Mark{start.at, MarkKind::AbnormalEnd, start.record});
        } else {
            row.flags |= FLAG_TWO_INSTANCES;
        }
    }
    c.stretches.clear();
    c.stretches.shrink_to_fit();
    c.starts.clear();
}

// Calendar days before `before` whose own lines tell their interval are
// decided now; the others wait for the source's interval at its end.
void DecideKnownDays(SourceTimeline& t, int64_t before)
{
    for (auto it = t.calendar.begin(); it != t.calendar.end() && it->first < before;) {
        CalendarDay& c = it->second;
        int64_t own = OwnInterval(c);
        if (own > 0 || t.options.gapS > 0) {
            DecideDay(t, it->first, c, GapLimit(t, own, own > 0));
            AddToSource(t, c);
            if (t.cached == &c) t.cached = nullptr;
            it = t.calendar.erase(it);
        } else {
            ++it;
        }
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

void AddStretch(SourceTimeline& t, CivilSeconds at, Record record)
{
    std::vector<Stretch>& stretches = Calendar(t, t.latest).stretches;
    int64_t spacing = at - t.latest;
    if (!stretches.empty()) {
        Stretch& last = stretches.back();
        if (last.end == t.latest && last.state == t.state && last.spacing == spacing) {
            last.end = at;
            last.closed = record;
            return;
        }
    }
    stretches.push_back(Stretch{t.latest, at, spacing, t.state, t.previous, record});
}

void CountLine(SourceTimeline& t, const LogLine& line, CivilSeconds at, Record record)
{
    switch (line.kind) {
    case LineKind::Start:
        ++Day(t, ReportDay(t, at)).starts;
        Day(t, ReportDay(t, at)).marks.push_back(Mark{at, MarkKind::Start, record});
        break;
    case LineKind::Exit:
        ++Day(t, ReportDay(t, at)).exits;
        Day(t, ReportDay(t, at)).marks.push_back(Mark{at, MarkKind::Exit, record});
        break;
    case LineKind::Lock: ++Day(t, ReportDay(t, at)).locks; break;
    case LineKind::Unlock: ++Day(t, ReportDay(t, at)).unlocks; break;
    case LineKind::Suspend: ++Day(t, ReportDay(t, at)).suspends; break;
    default: break;
    }
}

// The state after a line, from the state before it. Nothing here depends on
// the gap limit, so the stream can go on before that limit is known.
void ApplyLine(SourceTimeline& t, const LogLine& line, CivilSeconds at)
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
        break;
    case LineKind::Resume:
        // A wake-up is counted once, however many resume codes announce it.
        if (t.state == State::Suspended) {
            t.state = t.beforeSuspend;
            ++Day(t, ReportDay(t, at)).resumes;
        }
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

void TrackEnds(SourceTimeline& t, const LogLine& line, CivilSeconds at, CivilSeconds silenceFrom, Record record)
{
    switch (line.kind) {
    case LineKind::Start:
        if (t.any && !t.endedByExit && !t.endedBySession)
            Calendar(t, silenceFrom).starts.push_back(PendingStart{at, at - silenceFrom, record});
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
    if (t.hasLastStateLine && at > t.lastStateLine) {
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
    Record record{fileIndex, line.line};
    CivilSeconds at = line.time;
    bool inOrder = true;
    if (t.any && line.time < t.latest) {
        if (t.latest - line.time > JITTER_S) {
            Day(t, ReportDay(t, line.time)).flags |= FLAG_CLOCK_JUMP;
            inOrder = false;
        }
        at = t.latest;  // figures are on the time actually covered
    }
    if (t.any && at > t.latest) AddStretch(t, at, record);
    TrackEnds(t, line, at, t.latest, record);
    // Every session-state line of the days before this one has been seen.
    if (t.any) DecideKnownDays(t, FloorDiv(at, SECONDS_PER_DAY));
    TrackHeartbeat(t, line, at);
    CountLine(t, line, at, record);
    ApplyLine(t, line, at);
    t.any = true;
    t.latest = at;
    t.previous = record;
    return inOrder;
}

// first, last and the sums over [first, last); time no interval covers is off.
void ComputeFigures(DayRow& row)
{
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

}  // namespace

SourceTimeline* StartSource(const SourceIdentity& identity, const TimelineOptions& options,
                            std::shared_ptr<const std::vector<std::string>> files)
{
    SourceTimeline* t = new SourceTimeline;
    t->identity = identity;
    t->options = options;
    t->files = std::move(files);
    return t;
}

std::vector<uint32_t> FeedFile(SourceTimeline* timeline, const FileLines& file, uint32_t fileIndex, int64_t fileDay)
{
    SourceTimeline& t = *timeline;
    // Damage counts on the day of the file it is in.
    if (!file.badLines.empty() || file.tornLine) {
        DayRow& row = Day(t, fileDay);
        row.badLines += (int64_t)file.badLines.size();
        if (!file.badLines.empty()) row.flags |= FLAG_BAD_LINES;
        if (file.tornLine) row.flags |= FLAG_TORN_LINE;
    }
    std::vector<uint32_t> backInTime;
    for (const LogLine& line : file.lines)
        if (!FeedLine(t, line, fileIndex)) backInTime.push_back(line.line);
    return backInTime;
}

std::vector<DayRow> FinishSource(SourceTimeline* timeline)
{
    SourceTimeline& t = *timeline;
    for (const auto& entry : t.calendar) AddToSource(t, entry.second);
    bool sourceFound = t.sourceSpacingCount >= MIN_STATE_SPACINGS;
    int64_t sourceInterval = sourceFound ? MostCommon(t.sourceSpacings) : FALLBACK_INTERVAL_S;
    for (auto& entry : t.calendar) {
        int64_t own = OwnInterval(entry.second);
        DecideDay(t, entry.first, entry.second,
                  own > 0 ? GapLimit(t, own, true) : GapLimit(t, sourceInterval, sourceFound));
    }
    t.calendar.clear();

    std::vector<DayRow> rows;
    for (auto& entry : t.days) {
        DayRow& row = entry.second;
        if (!InRange(t.options, entry.first)) continue;
        SortIntervals(row.intervals);
        ComputeFigures(row);
        // A day without an active second has no row, but may still count in a user's union.
        if (row.activeS == 0 && !t.options.keepInactiveDays) continue;
        row.source = t.identity.source;
        row.user = t.identity.user;
        row.place = t.identity.place;
        row.day = entry.first;
        row.files = t.files;
        auto known = t.intervals.find(entry.first);
        int64_t dayInterval = known != t.intervals.end() ? known->second : 0;
        row.heartbeatS = !t.anyStateLine ? 0 : dayInterval > 0 ? dayInterval : sourceInterval;
        std::sort(row.marks.begin(), row.marks.end(),
                  [](const Mark& a, const Mark& b) { return a.at < b.at; });
        rows.push_back(std::move(row));
    }
    delete timeline;
    return rows;
}

namespace {

// The union's order is the enum's: active on any PC counts as active, then
// locked, then suspended, then off.
int Rank(State state)
{
    static_assert((int)State::Active < (int)State::Locked && (int)State::Locked < (int)State::Suspended &&
                  (int)State::Suspended < (int)State::Off, "State is in the union's order");
    return (int)state;
}

struct Edge {
    CivilSeconds at;
    int delta;
    const Interval* interval;
    uint32_t fileOffset;
};

// The union of several sources' intervals of one day, records renumbered into
// the merged list of files.
std::vector<Interval> UniteIntervals(const std::vector<std::pair<const DayRow*, uint32_t>>& parts)
{
    std::vector<Edge> edges;
    for (const auto& part : parts) {
        for (const Interval& i : part.first->intervals) {
            edges.push_back(Edge{i.begin, +1, &i, part.second});
            edges.push_back(Edge{i.end, -1, &i, part.second});
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });
    std::vector<std::pair<const Interval*, uint32_t>> open;
    std::vector<Interval> united;
    for (size_t e = 0; e < edges.size();) {
        CivilSeconds at = edges[e].at;
        for (; e < edges.size() && edges[e].at == at; ++e) {
            if (edges[e].delta > 0) {
                open.emplace_back(edges[e].interval, edges[e].fileOffset);
            } else {
                for (size_t k = 0; k < open.size(); ++k) {
                    if (open[k].first == edges[e].interval) {
                        open.erase(open.begin() + (long)k);
                        break;
                    }
                }
            }
        }
        if (open.empty() || e == edges.size()) continue;
        const std::pair<const Interval*, uint32_t>* best = &open[0];
        for (const auto& candidate : open)
            if (Rank(candidate.first->state) < Rank(best->first->state)) best = &candidate;
        Interval piece = *best->first;
        piece.begin = at;
        piece.end = edges[e].at;
        piece.opened.file += best->second;
        piece.closed.file += best->second;
        if (piece.end > piece.begin) AppendInterval(united, piece);
    }
    return united;
}

Mark Renumbered(Mark mark, uint32_t offset)
{
    mark.record.file += offset;
    return mark;
}

}  // namespace

std::vector<DayRow> MergeUsers(const std::vector<DayRow>& rows, const TimelineOptions& options)
{
    (void)options;
    std::map<std::pair<std::string, int64_t>, std::vector<const DayRow*>> groups;
    for (const DayRow& row : rows) groups[{row.user, row.day}].push_back(&row);

    // One list of files per user, each source's files appended once.
    std::map<std::string, std::shared_ptr<std::vector<std::string>>> userFiles;
    std::map<std::pair<std::string, const std::vector<std::string>*>, uint32_t> offsets;
    for (const DayRow& row : rows) {
        auto& files = userFiles[row.user];
        if (!files) files = std::make_shared<std::vector<std::string>>();
        auto key = std::make_pair(row.user, row.files.get());
        if (offsets.count(key) || !row.files) continue;
        offsets[key] = (uint32_t)files->size();
        files->insert(files->end(), row.files->begin(), row.files->end());
    }

    std::vector<DayRow> merged;
    for (const auto& group : groups) {
        DayRow out;
        out.source = out.user = group.first.first;
        out.day = group.first.second;
        out.files = userFiles[out.user];
        std::vector<std::pair<const DayRow*, uint32_t>> parts;
        for (const DayRow* row : group.second) {
            uint32_t offset = row->files ? offsets[{row->user, row->files.get()}] : 0;
            parts.emplace_back(row, offset);
            out.starts += row->starts;
            out.exits += row->exits;
            out.locks += row->locks;
            out.unlocks += row->unlocks;
            out.suspends += row->suspends;
            out.resumes += row->resumes;
            out.badLines += row->badLines;
            out.flags |= row->flags;
            if (row->heartbeatS > 0 && (out.heartbeatS == 0 || row->heartbeatS < out.heartbeatS))
                out.heartbeatS = row->heartbeatS;
            for (const Mark& mark : row->marks) out.marks.push_back(Renumbered(mark, offset));
        }
        out.intervals = UniteIntervals(parts);
        ComputeFigures(out);
        if (out.activeS == 0) continue;
        std::sort(out.marks.begin(), out.marks.end(), [](const Mark& a, const Mark& b) { return a.at < b.at; });
        merged.push_back(std::move(out));
    }
    return merged;
}
