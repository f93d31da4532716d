// From one source's lines to its per-day figures: the states, the gaps and the
// day boundaries.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "line_reader.h"
#include "report_model.h"

struct TimelineOptions {
    CivilSeconds dayStartS = 0;  // seconds after midnight
    int64_t gapS = 0;            // 0: three heartbeats, found in the data
    bool hasFrom = false, hasTo = false;
    int64_t fromDay = 0, toDay = 0;  // days since 1970-01-01, inclusive
    // Keeps the days without an active second and the silences of whole days,
    // for MergeUsers (which drops the days without an active second itself).
    bool keepInactiveDays = false;
};

// The state of one source's stream, which only the functions below touch.

// Consecutive lines in one state and at one spacing (a run of heartbeats),
// before the gap limit is known: either every spacing in it is a silence or none is.
struct Stretch {
    CivilSeconds begin, end;
    int64_t spacing;
    State state;
    // While suspended: the state if the PC turns out to be awake, whether every
    // spacing runs from one session-state line to the next, and which suspend
    // line the suspension began at.
    State awake;
    bool heartbeats;
    uint32_t episode;
    LineRef opened, closed;
};

// A start line whose flag waits for the gap limit of the silence before it.
struct PendingStart {
    CivilSeconds at;
    int64_t silenceS;
    LineRef where;
};

// Spacings of consecutive session-state lines, as (spacing, count).
using Spacings = std::vector<std::pair<int64_t, int64_t>>;

struct CalendarDay {
    Spacings spacings;
    int64_t spacingCount = 0;
    std::vector<Stretch> stretches;     // begun on this day, not yet decided
    std::vector<PendingStart> starts;   // whose silence began on this day
};

// Its caches point into its own maps: it may be moved, never copied.
struct SourceTimeline {
    SourceIdentity identity;
    TimelineOptions options;
    std::shared_ptr<const std::vector<std::string>> files;

    // The stream so far.
    bool any = false;
    CivilSeconds latest = 0;        // the latest time seen, what later lines are clamped to
    LineRef previous;
    State state = State::Active;
    State beforeSuspend = State::Active;
    uint32_t episode = 0;           // suspend lines so far
    uint32_t wokenEpisode = 0;      // the suspension that session-state lines ended, as decided so far
    bool previousWasState = false;  // the line before was a session-state line
    bool previousWasResume = false; // the line before, session-state lines aside, was a resume
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

    std::map<int64_t, CalendarDay> calendar;  // open calendar days, decided in order
    int64_t cachedDay = 0;
    CalendarDay* cached = nullptr;            // calendar[cachedDay]: most lines fall on it
    std::map<int64_t, int64_t> intervals;     // per decided calendar day; 0 when its lines do not tell
    Spacings sourceSpacings;
    int64_t sourceSpacingCount = 0;

    std::map<int64_t, DayRow> days;           // by report day
    std::vector<QuietDays> quietDays;         // with keepInactiveDays
    int64_t cachedRowDay = 0;
    DayRow* cachedRow = nullptr;              // days[cachedRowDay]
};

// Feed a source's files in date order (copies of one date one after the other),
// then finish it. fileDay is the file name's date in days since 1970-01-01;
// fileIndex indexes the source's list of file names.
// files: the display names of the source's files, which the rows keep.
SourceTimeline StartSource(const SourceIdentity& identity, const TimelineOptions& options,
                           std::shared_ptr<const std::vector<std::string>> files);
// Returns the numbers of the file's lines that came more than jitter earlier than
// a line before them (the clock was set back), so that they can be named.
std::vector<uint32_t> FeedFile(SourceTimeline& timeline, const FileLines& file, uint32_t fileIndex, int64_t fileDay);
// The source's rows, by day; the timeline has nothing more to give after it.
std::vector<DayRow> FinishSource(SourceTimeline& timeline);
