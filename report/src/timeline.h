// From one source's lines to its per-day figures: the states, the gaps, the
// day boundaries, and the union of several sources for --merge-users.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "line_reader.h"
#include "report_model.h"

struct TimelineOptions {
    CivilSeconds dayStartS = 0;  // seconds after midnight
    int64_t gapS = 0;            // 0: three heartbeats, found in the data
    bool hasFrom = false, hasTo = false;
    int64_t fromDay = 0, toDay = 0;  // days since 1970-01-01, inclusive
    // Keeps the days without an active second, for MergeUsers (which drops them itself).
    bool keepInactiveDays = false;
};

struct SourceTimeline;  // the state of one source's stream

// Feed a source's files in date order (copies of one date one after the other),
// then finish it. fileDay is the file name's date in days since 1970-01-01;
// fileIndex indexes the source's list of file names.
// files: the display names of the source's files, which the rows keep.
SourceTimeline* StartSource(const SourceIdentity& identity, const TimelineOptions& options,
                            std::shared_ptr<const std::vector<std::string>> files);
// Returns the numbers of the file's lines that came more than jitter earlier than
// a line before them (the clock was set back), so that they can be named.
std::vector<uint32_t> FeedFile(SourceTimeline* timeline, const FileLines& file, uint32_t fileIndex, int64_t fileDay);
// The source's rows, by day, and frees the timeline.
std::vector<DayRow> FinishSource(SourceTimeline* timeline);

// One row per user and day: the union of that user's sources.
std::vector<DayRow> MergeUsers(const std::vector<DayRow>& rows, const TimelineOptions& options);
