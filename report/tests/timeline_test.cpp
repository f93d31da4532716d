#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include "civil_time.h"
#include "day_checks.h"
#include "line_reader.h"
#include "log/event_texts.h"
#include "outputs.h"
#include "timeline.h"

namespace {

const std::map<std::string, std::string> TEXTS = {
    {"start", EVENT_TEXT_START},
    {"exit", EVENT_TEXT_EXIT},
    {"lock", EVENT_TEXT_LOCK},
    {"unlock", EVENT_TEXT_UNLOCK},
    {"logon", EVENT_TEXT_LOGON},
    {"logoff", EVENT_TEXT_LOGOFF},
    {"suspend", EVENT_TEXT_SUSPEND},
    {"resume", EVENT_TEXT_RESUME},
    {"resume18", EVENT_PREFIX_POWER "18"},
    {"power10", EVENT_PREFIX_POWER "10"},
    {"state", EVENT_PREFIX_SESSION_STATE "アクティブ"},
    {"shutdown", EVENT_TEXT_END_SHUTDOWN},
    {"cancelled", EVENT_TEXT_END_CANCELLED},
};

// "07 09:00 start; 07 10:00 lock" as the lines of December 2026's daily files:
// day of the month (or a whole date, 2027/01/06; the 7th when left out), time
// (HH:MM or HH:MM:SS), event. A "--" ends one file; a file is dated by its first line.
std::vector<std::pair<int64_t, std::string>> Files(const std::string& script)
{
    std::vector<std::pair<int64_t, std::string>> files;
    std::stringstream events(script);
    std::string event;
    bool newFile = true;
    while (std::getline(events, event, ';')) {
        std::stringstream parts(event);
        std::string day, time, name;
        parts >> day;
        if (day == "--") {
            newFile = true;
            continue;
        }
        if (day.find(':') != std::string::npos)
            time = std::exchange(day, "07");
        else
            parts >> time;
        parts >> name;
        if (time.size() == 5) time += ":00";
        std::string date = day.size() == 2 ? "2026/12/" + day : day;
        if (newFile) files.emplace_back(DaysFromCivil(std::stoi(date), std::stoi(date.substr(5)), std::stoi(date.substr(8))), "");
        newFile = false;
        files.back().second += date + " " + time + " - " + TEXTS.at(name) + "\r\n";
    }
    return files;
}

std::vector<DayRow> RunSource(const std::string& script, TimelineOptions options, const std::string& place = "PC1")
{
    auto names = std::make_shared<std::vector<std::string>>();
    SourceTimeline t = StartSource({place + "/u_log", "u", place}, options, names);
    uint32_t index = 0;
    for (const auto& file : Files(script)) {
        names->push_back(place + "/" + std::to_string(index));
        FeedFile(t, ReadLogLines(file.second, file.first), index++, file.first);
    }
    return FinishSource(t);
}

// A case's options: the gap limit, the day start, and when given --from and --to (dates of December 2026).
TimelineOptions Gap(int64_t seconds, int64_t dayStart = 0, int from = 0, int to = 0)
{
    TimelineOptions options;
    options.gapS = seconds, options.dayStartS = dayStart;
    options.hasFrom = options.hasTo = from != 0;
    options.fromDay = DaysFromCivil(2026, 12, from), options.toDay = DaysFromCivil(2026, 12, to);
    return options;
}

std::string Flags(uint32_t flags)
{
    return JoinFlagNames(flags, DayFlagNames, " ");
}

}  // namespace

// One day per case, each started at 09:00 on the 7th: last and the four sums, the wake-ups, the flags.
TEST(Timeline, StatesOfOneDay)
{
    struct Row {
        const char* name;
        std::string script;
        TimelineOptions options;
        CivilSeconds last;
        int64_t active, locked, suspended, off;
        int64_t resumes = 0;
        std::string flags = "";
    };
    const Row rows[] = {
        {"a logon ends a lock", "10:00 lock; 10:30 logon; 11:00 state", Gap(2 * H), At(7, 11), 90 * M, 30 * M, 0, 0},
        {"locked and left on: the day ends at the lock", "18:00 lock; 19:00 state; 20:00 state; 23:00 state",
         Gap(10 * H), At(7, 18), 9 * H, 0, 0, 0},
        {"a resume brings back the lock before the suspend",
         "10:00 lock; 10:30 suspend; 11:00 resume; 11:30 unlock; 12:00 state", Gap(2 * H), At(7, 12), 90 * M, 60 * M,
         30 * M, 0, 1},
        {"18 then 7 with session-state lines between: one wake-up",
         "10:00 suspend; 11:00 resume18; 11:00:02 state; 11:00:05 resume; 12:00 state", Gap(2 * H), At(7, 12), 2 * H, 0,
         H, 0, 1},
        {"a critical resume after a silence, no suspend before it: a wake-up",
         "10:00 state; 13:00 resume18; 13:00:05 resume; 14:00 state", Gap(H), At(7, 14), 2 * H, 0, 0, 3 * H, 1},
        {"two sleeps, two wake-ups",
         "10:00 suspend; 11:00 resume; 11:30 lock; 11:40 suspend; 12:00 resume; 12:10 unlock; 13:00 state", Gap(2 * H),
         At(7, 13), 2 * H + 20 * M, 20 * M, H + 20 * M, 0, 2},
        {"no resume, but two heartbeats within the limit: awake from the first",
         "10:00 suspend; 11:00 state; 11:10 state; 12:00 state", Gap(H), At(7, 12), 2 * H, 0, H, 0},
        {"heartbeats end a suspension and the lock before it goes on",
         "09:30 lock; 10:00 suspend; 11:00 state; 11:10 state; 12:00 unlock; 13:00 state", Gap(2 * H), At(7, 13),
         90 * M, 90 * M, H, 0},
        {"heartbeats, then a late resume: one wake-up",
         "10:00 suspend; 11:00 state; 11:10 state; 11:30 resume; 12:00 state", Gap(H), At(7, 12), 2 * H, 0, H, 0, 1},
        {"one heartbeat just after the suspend, then silence: asleep to the resume",
         "10:00 suspend; 10:00:05 state; 14:00 resume; 15:00 state", Gap(H), At(7, 15), 2 * H, 0, 4 * H, 0, 1},
        {"one heartbeat just after the suspend, silence, then heartbeats: asleep to the second",
         "10:00 suspend; 10:00:05 state; 14:00 state; 14:10 state; 15:00 state", Gap(H), At(7, 15), 2 * H, 0, 4 * H, 0},
        {"off after an exit until the next line; a start after an exit is normal",
         "10:00 exit; 10:30 start; 11:00 state", Gap(2 * H), At(7, 11), 90 * M, 0, 0, 30 * M},
        {"off after a logoff until the next line", "10:00 logoff; 10:20 state; 11:00 state", Gap(2 * H), At(7, 11),
         100 * M, 0, 0, 20 * M},
        {"a silence is off; a start after it without an exit is an abnormal end",
         "10:00 state; 12:00 start; 13:00 state", Gap(H), At(7, 13), 2 * H, 0, 0, 2 * H, 0, "abnormal_end"},
        {"a silence of exactly the limit is not off", "10:00 state; 11:00 state", Gap(H), At(7, 11), 2 * H, 0, 0, 0},
        {"a locked PC that falls silent is off", "10:00 lock; 13:00 unlock; 14:00 state", Gap(H), At(7, 14), 2 * H, 0,
         0, 3 * H},
        {"a start with no exit and no silence: two instances", "09:30 state; 09:31 start; 10:00 state", Gap(H),
         At(7, 10), H, 0, 0, 0, 0, "two_instances"},
        {"a cancelled session end does not excuse a crash", "10:00 shutdown; 10:01 cancelled; 12:00 start; 13:00 state",
         Gap(H), At(7, 13), 2 * H + M, 0, 0, 119 * M, 0, "abnormal_end"},
        {"a session end changes no state", "10:00 lock; 10:30 shutdown; 11:00 unlock; 12:00 state", Gap(2 * H),
         At(7, 12), 2 * H, H, 0, 0},
        {"a line back in time: flagged, never negative", "10:00 state; 09:30 state; 11:00 state", Gap(2 * H), At(7, 11),
         2 * H, 0, 0, 0, 0, "clock_jump"},
        {"two seconds back is jitter", "10:00 state; 09:59:58 power10; 11:00 state", Gap(2 * H), At(7, 11), 2 * H, 0, 0,
         0},
        {"identical lines count once, also from a copy merged in",
         "10:00 lock; 10:00 lock; -- ; 09:00 start; 11:00 unlock; 12:00 state", Gap(2 * H), At(7, 12), 2 * H, H, 0, 0},
    };
    for (const Row& r : rows) {
        std::vector<DayRow> days = RunSource("07 09:00 start; " + r.script, r.options);
        ASSERT_EQ(days.size(), 1u) << r.name;
        const DayRow& d = days[0];
        ExpectFigures(d, {At(7, 9), r.last, r.active, r.locked, r.suspended, r.off}, r.name);
        EXPECT_EQ(d.resumes, r.resumes) << r.name;
        EXPECT_EQ(Flags(d.flags), r.flags) << r.name;
    }
}

// Several days per case: (date, first, last, active, locked, off, and when not
// none, bad lines and flags) for each row. A date past the 31st runs on into
// the next months and years.
TEST(Timeline, DaysAndTheirBoundaries)
{
    struct Day {
        int date;
        CivilSeconds first, last;
        int64_t active, locked, off;
        int64_t bad = 0;
        std::string flags = "";
        int64_t night = 0;  // active from 22:00 to 5:00
    };
    struct Row {
        const char* name;
        std::string script;
        TimelineOptions options;
        std::vector<Day> days;
    };
    const std::string DAY_7 = "07 09:00 start; 07 10:00 lock; 07 11:00 unlock; 07 12:00 exit; -- ; ";
    const Day SEVENTH = {7, At(7, 9), At(7, 12), 2 * H, H, 0};
    const Row rows[] = {
        {"a lock across midnight and files", "07 09:00 start; 07 23:00 lock; -- ; 08 08:00 unlock; 08 09:00 state",
         Gap(15 * H), {{7, At(7, 9), At(7, 23), 14 * H, 0, 0, 0, "", H}, {8, At(8, 8), At(8, 9), H, 0, 0}}},
        {"an interval across the day start is split there",
         "07 22:00 start; -- ; 08 02:00 state; 08 06:00 state", Gap(12 * H, 5 * H),
         {{7, At(7, 22), At(8, 5), 7 * H, 0, 0, 0, "", 7 * H}, {8, At(8, 5), At(8, 6), H, 0, 0}}},
        {"night: from 22:00, a lock over midnight not counted, to a 05:00 day start",
         "07 21:00 start; 07 23:30 lock; -- ; 08 00:30 unlock; 08 06:00 state", Gap(7 * H, 5 * H),
         {{7, At(7, 21), At(8, 5), 7 * H, H, 0, 0, "", 6 * H}, {8, At(8, 5), At(8, 6), H, 0, 0}}},
        {"a shutdown at night and a start in the morning is no crash",
         "07 09:00 start; 07 17:00 shutdown; -- ; 08 09:00 start; 08 10:00 state", Gap(9 * H),
         {{7, At(7, 9), At(7, 17), 8 * H, 0, 0}, {8, At(8, 9), At(8, 10), H, 0, 0}}},
        {"a line in another day's file counts on its own date", "07 22:00 start; 08 02:00 state", Gap(12 * H),
         {{7, At(7, 22), At(8, 0), 2 * H, 0, 0, 0, "", 2 * H}, {8, At(8, 0), At(8, 2), 2 * H, 0, 0, 0, "", 2 * H}}},
        {"--from and --to keep their days whole, the stream before them still read",
         "06 22:00 start; 06 23:00 lock; -- ; 07 09:00 unlock; 07 10:00 state; -- ; 08 09:00 state; 08 10:00 state",
         Gap(12 * H, 0, 7, 7), {{7, At(7, 9), At(7, 10), H, 0, 0}}},
        {"asleep over midnight, no resume, heartbeats in the morning",
         "07 09:00 start; 07 22:00 suspend; -- ; 08 08:00 state; 08 08:10 state; 08 09:00 state", Gap(14 * H),
         {{7, At(7, 9), At(7, 22), 13 * H, 0, 0}, {8, At(8, 8), At(8, 9), H, 0, 0}}},
        // A line dated more than a day from its file is not used, but counted bad
        // on the file's day; an old copy within the day window counts once.
        {"a line two days off its file's date", "07 09:00 start; 09 10:00 lock; 07 11:00 state", Gap(2 * H),
         {{7, At(7, 9), At(7, 11), 2 * H, 0, 0, 1, "bad_lines"}}},
        {"an old copy a day later counts once", DAY_7 + "08 09:00 start; 07 10:00 lock; 08 10:00 state", Gap(2 * H),
         {SEVENTH, {8, At(8, 9), At(8, 10), H, 0, 0}}},
        {"an old copy in a file a day later, past a line of the next day, counts once",
         DAY_7 + "08 09:00 start; 09 11:00 state; 09 11:30 state; 07 10:00 lock; 09 12:00 state", Gap(2 * H),
         {SEVENTH, {9, At(9, 11), At(9, 12), H, 0, 0}}},
        {"an old copy thirty days later is not applied",
         DAY_7 + "2027/01/06 09:00 start; 07 10:00 lock; 2027/01/06 10:00 state", Gap(2 * H),
         {SEVENTH, {37, At(37, 9), At(37, 10), H, 0, 0, 1, "bad_lines"}}},
        {"a day without an active second has no row",
         "07 09:00 start; 07 10:00 lock; -- ; 08 09:00 state; -- ; 09 09:00 unlock; 09 10:00 state", Gap(2 * H),
         {{7, At(7, 9), At(7, 10), H, 0, 0}, {9, At(9, 9), At(9, 10), H, 0, 0}}},
    };
    for (const Row& r : rows) {
        std::vector<DayRow> days = RunSource(r.script, r.options);
        ASSERT_EQ(days.size(), r.days.size()) << r.name;
        for (size_t i = 0; i < days.size(); ++i) {
            const Day& e = r.days[i];
            std::string name = r.name + std::string(" ") + std::to_string(i);
            EXPECT_EQ(days[i].day, DaysFromCivil(2026, 12, e.date)) << name;
            // None of these days is asleep between its first and last active second.
            ExpectFigures(days[i], {e.first, e.last, e.active, e.locked, 0, e.off}, name);
            EXPECT_EQ(days[i].badLines, e.bad) << name;
            EXPECT_EQ(Flags(days[i].flags), e.flags) << name;
            EXPECT_EQ(days[i].nightS, e.night) << name;
            EXPECT_EQ(days[i].weekday, IsoWeekday(days[i].day)) << name;
        }
    }
}

// A silence of a hundred years: the days at its ends and nothing between, and
// for a user's union one record of the whole days.
TEST(Timeline, ALongSilenceCostsOnlyItsEnds)
{
    const std::string script = "07 09:00 start; 07 10:00 exit; -- ; 2126/12/07 09:00 start; 2126/12/07 10:00 exit";
    EXPECT_EQ(RunSource(script, Gap(H)).size(), 2u);
    TimelineOptions merging = Gap(H);
    merging.keepInactiveDays = true;
    std::vector<DayRow> days = RunSource(script, merging);
    ASSERT_EQ(days.size(), 2u);
    ASSERT_TRUE(days[0].quietDays);
    ASSERT_EQ(days[0].quietDays->size(), 1u);
    const QuietDays& quiet = days[0].quietDays->front();
    EXPECT_EQ(std::make_tuple(quiet.firstDay, quiet.lastDay, quiet.first.begin, quiet.first.end, quiet.first.state),
              std::make_tuple(DEC_7 + 1, DaysFromCivil(2126, 12, 6), At(8, 0), At(9, 0), State::Off));
}

// "; DD HH:MM:SS event" for each of `count` lines `spacing` seconds apart from `from`.
static std::string Every(const std::string& day, CivilSeconds from, int count, int64_t spacing, const char* event)
{
    std::string lines;
    for (CivilSeconds t = from; count-- > 0; t += spacing) lines += "; " + day + " " + FormatClock(t) + " " + event;
    return lines;
}

// The gap limit from the data: three of the most common spacings of the day's
// session-state lines while it has ten of them, else of the source's, else ten minutes.
TEST(Timeline, GapLimitFromTheHeartbeat)
{
    // The day before, at a 60 s heartbeat: twenty spacings for the source.
    const std::string DAY_AT_60 = "06 09:00 start" + Every("06", 9 * H + M, 21, 60, "state") + "; 06 10:00 exit; ";
    struct Row {
        const char* name;
        int beats;         // session-state lines 30 s apart from 09:00
        int64_t silence;   // then this long without a line, then one more
        int64_t off, heartbeat;
        std::string before = "";
    };
    const Row rows[] = {
        {"ten spacings: 90 s is the limit, 100 s is off", 11, 100, 100, 30},
        {"ten spacings: 90 s is not off", 11, 90, 0, 30},
        {"nine spacings: ten minutes is the limit", 10, 100, 0, 600},
        {"nine spacings: eleven minutes is off", 10, 11 * M, 11 * M, 600},
        {"ten spacings after a day at 60 s: the day's own", 11, 100, 100, 30, DAY_AT_60},
        {"nine spacings after a day at 60 s: the source's, 180 s the limit", 10, 100, 0, 60, DAY_AT_60},
        {"nine spacings after a day at 60 s: 190 s is off", 10, 190, 190, 60, DAY_AT_60},
    };
    for (const Row& r : rows) {
        std::string script = r.before + "07 09:00 start" + Every("07", 9 * H, r.beats, 30, "state");
        // Then two other lines, so that the silence lies inside the day's active span.
        CivilSeconds t = 9 * H + 30 * r.beats;
        script += Every("07", t - 30 + r.silence, 2, 30, "power10");
        std::vector<DayRow> days = RunSource(script, TimelineOptions());
        ASSERT_FALSE(days.empty()) << r.name;
        const DayRow& d = days.back();
        EXPECT_EQ(d.day, DEC_7) << r.name;
        EXPECT_EQ(d.offS, r.off) << r.name;
        EXPECT_EQ(d.heartbeatS, r.heartbeat) << r.name;
        ExpectSound(d, r.name);
    }
}

TEST(Timeline, DamageCountsOnTheFilesDay)
{
    auto names = std::make_shared<std::vector<std::string>>(std::vector<std::string>{"a", "b"});
    SourceTimeline t = StartSource({"u_log", "u", ""}, Gap(H), names);
    const std::string seventh = "2026/12/07 09:00:00 - " EVENT_TEXT_START "\r\nbad\r\n2026/12/07 10:00:00 - x\r\n";
    const std::string eighth = "2026/12/08 09:00:00 - x\r\n2026/12/08 09:30:00 - x\r\n2026/12/08 09:10:00 - y\r\n"
                               "2026/12/08 09:31";
    FeedFile(t, ReadLogLines(seventh, DEC_7), 0, DEC_7);
    // The line back in time named, so that a person can look.
    EXPECT_EQ(FeedFile(t, ReadLogLines(eighth, DEC_7 + 1), 1, DEC_7 + 1), std::vector<uint32_t>{3});
    std::vector<DayRow> days = FinishSource(t);
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].badLines, 1);
    EXPECT_EQ(Flags(days[0].flags), "bad_lines");
    EXPECT_EQ(Flags(days[1].flags), "clock_jump torn_line");
    EXPECT_EQ(days[1].last, At(8, 9, 30));  // the unfinished line is left out
}
