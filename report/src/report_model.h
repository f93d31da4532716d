// The report's data: what the reader finds in the daily logs and the per-day
// figures computed from them. Plain records, no platform types.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "file_error.h"

// Local civil time in seconds since 1970-01-01 00:00:00. The log carries no
// UTC offset, so there is no time zone anywhere in the report.
using CivilSeconds = int64_t;

// Whose logs a source holds: "PC001/tanaka_log", "tanaka", "PC001".
struct SourceIdentity {
    std::string source, user, place;
};

enum class State : uint8_t { Active, Locked, Suspended, Off };

// Where a line came from: an index into Source::files, and its 1-based line.
struct LineRef {
    uint32_t file = 0;
    uint32_t line = 0;
};

// One stretch of a day's bar, [begin, end), in a single state.
struct Interval {
    CivilSeconds begin = 0;
    CivilSeconds end = 0;
    State state = State::Active;
    LineRef opened;  // the line that began it
    LineRef closed;  // the line that ended it
};

// A silence of whole report days without a line, off or asleep, kept as one
// record however long it was: its piece of day d is `first` moved on by
// d - firstDay days.
struct QuietDays {
    int64_t firstDay = 0, lastDay = 0;
    Interval first;
};

enum class MarkKind : uint8_t { Start, Exit, AbnormalEnd };

struct Mark {
    CivilSeconds at = 0;
    MarkKind kind = MarkKind::Start;
    LineRef where;
};

enum DayFlag : uint32_t {
    FLAG_ABNORMAL_END = 1u << 0,
    FLAG_TWO_INSTANCES = 1u << 1,
    FLAG_CLOCK_JUMP = 1u << 2,
    FLAG_TORN_LINE = 1u << 3,
    FLAG_BAD_LINES = 1u << 4,
    // With attendance times only.
    FLAG_DIVERGENCE = 1u << 5,      // the PC's first or last far from the clocked times
    FLAG_NO_ATTENDANCE = 1u << 6,   // PC use on a day with no clocked times
    FLAG_NO_PC_RECORD = 1u << 7,    // clocked times on a day without PC use: a row of its own
};
constexpr size_t DAY_FLAG_COUNT = 8;
// The flags' words, in bit order, as they appear in every output.
extern const char* const DayFlagNames[DAY_FLAG_COUNT];

struct DayRow {
    std::string source;  // place/user_log, '/'-separated; the user alone when merged
    std::string user;
    std::string place;
    int64_t day = 0;     // the day's start date, in days since 1970-01-01
    CivilSeconds first = 0;
    CivilSeconds last = 0;
    int64_t spanS = 0, activeS = 0, lockedS = 0, suspendedS = 0, offS = 0;
    int64_t starts = 0, exits = 0, locks = 0, unlocks = 0, suspends = 0, resumes = 0, badLines = 0;
    int64_t heartbeatS = 0;
    uint32_t flags = 0;
    int weekday = 0;       // 1 = Monday ... 7 = Sunday
    std::string holiday;   // the day off's name (a holiday, 土曜日, 日曜日), or empty
    int64_t nightS = 0;    // active seconds between 22:00 and 5:00 within first..last
    // With attendance times: the clocked start and end (seconds from the date's
    // midnight, past 24:00 for a night shift), and how far first came before
    // the start and last after the end, in whole minutes (0 when not).
    bool hasClockIn = false, hasClockOut = false;
    int64_t clockInS = 0, clockOutS = 0;
    int64_t beforeClockInMin = 0, afterClockOutMin = 0;
    std::string name, department;  // with a users file
    CivilSeconds dayStartS = 0;    // when the row's day begins: --day-starts, or the user's own
    // Every covered stretch of the whole day (from the day start to the next),
    // in time order; the figures count only [first, last), which they cover whole.
    std::vector<Interval> intervals;
    // Starts, exits and abnormal ends on that day (also outside first..last).
    std::vector<Mark> marks;
    // Display names of the files that LineRef::file indexes ("PC001/tanaka_log/20261207.txt"),
    // shared by the rows of one source (and of one user when merged).
    std::shared_ptr<const std::vector<std::string>> files;
    // The source's silences of whole days, in time order, for a user's union
    // (empty unless the days are to be merged).
    std::shared_ptr<const std::vector<QuietDays>> quietDays;
};

enum MonthFlag : uint32_t {
    MONTH_FLAG_OVER_LIMIT = 1u << 0,
};
constexpr size_t MONTH_FLAG_COUNT = 1;
extern const char* const MonthFlagNames[MONTH_FLAG_COUNT];

// Months counted from year 0: year * 12 + month - 1.
inline int MonthIndex(int year, int month) { return year * 12 + month - 1; }

// One person's calendar month of day rows.
struct MonthRow {
    std::string source, user, place;  // as the day rows give them
    int month = 0;                    // MonthIndex
    int64_t days = 0, holidayDays = 0, lateDays = 0;
    int64_t spanS = 0, activeS = 0, nightS = 0, overtimeS = 0;
    int64_t divergenceDays = 0;       // with attendance times
    std::string name, department;     // with a users file
    uint32_t flags = 0;
};

// Which problem it is, so that each output words it in its own language.
enum class ProblemKind : uint8_t {
    FileError,     // a file or folder that could not be listed or read: error and action
    NotLogLine,    // these four with `more` set: that many more lines of the kind
    FarDated,
    TornLine,
    ClockSetBack,
    NoSuchDate,    // a daily file's name that is no date
    NotDailyFile,  // a file given that is no daily log
    NoDailyFiles,  // a folder given that holds none
    InputRow,      // a row of a file given beside the logs; its message is already Japanese
};

// Something met in the input that a person should know about.
struct Problem {
    std::string file;  // as displayed: relative to the root it was found under
    uint32_t line = 0; // 0 when it concerns the whole file
    std::string message;  // English, for standard error
    ProblemKind kind = ProblemKind::FileError;
    FileError error = FileError::Other;
    FileAction action = FileAction::Read;
    uint32_t more = 0;
};

struct Report {
    std::vector<DayRow> rows;        // by source, then day
    std::vector<MonthRow> months;    // by person, then month
    std::vector<Problem> problems;   // in the order of sources and files
    bool hasAttendance = false;      // the attendance columns are written
    bool hasPeople = false;          // the name and department columns are written
    CivilSeconds dayStartS = 0;      // seconds after midnight at which a day begins
};
