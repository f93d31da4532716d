// libFuzzer target: bytes as one source's daily files, through the line reader,
// the timeline and the users' union. Whatever the input, the figures add up, no
// stretch leaves its day, a user's union holds what each PC holds, and nothing
// costs more than the lines and days read (libFuzzer's own limits catch that).
//
// The input: two bytes of options (day start, gap limit, merging), then files
// separated by form feeds, each led by a byte that says how many days after the
// one before it the file's name is dated (0: a copy of the same date).
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "civil_time.h"
#include "line_reader.h"
#include "timeline.h"
#include "users_union.h"

namespace {

void Check(bool sound)
{
    if (!sound) std::abort();
}

void CheckRow(const DayRow& row, CivilSeconds dayStartS)
{
    CivilSeconds dayBegin = row.day * SECONDS_PER_DAY + dayStartS;
    Check(row.activeS > 0);
    Check(row.spanS == row.last - row.first);
    Check(row.activeS + row.lockedS + row.suspendedS + row.offS == row.spanS);
    Check(row.lockedS >= 0 && row.suspendedS >= 0 && row.offS >= 0 && row.badLines >= 0);
    Check(dayBegin <= row.first && row.last <= dayBegin + SECONDS_PER_DAY);
    for (const Interval& i : row.intervals) Check(i.begin < i.end && dayBegin <= i.begin && i.end <= dayBegin + SECONDS_PER_DAY);
}

// The same files under two names, so that the union has two sources to unite.
std::vector<DayRow> ReadSource(const std::vector<std::pair<int64_t, std::string_view>>& files,
                               const TimelineOptions& options, const std::string& place)
{
    auto names = std::make_shared<std::vector<std::string>>();
    SourceTimeline timeline = StartSource({place + "/u_log", "u", place}, options, names);
    for (const auto& [day, bytes] : files) {
        names->push_back(place + "/" + std::to_string(names->size()));
        FeedFile(timeline, ReadLogLines(bytes, day), (uint32_t)(names->size() - 1), day);
    }
    return FinishSource(timeline);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    TimelineOptions options;
    options.dayStartS = (data[0] % 24) * 3600 + (data[0] / 24) * 60;
    options.gapS = data[1] & 0x80 ? 0 : (data[1] & 0x3F) * 37;  // 0: from the heartbeat
    options.keepInactiveDays = (data[1] & 0x40) != 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::vector<std::pair<int64_t, std::string_view>> files;
    int64_t day = DaysFromCivil(2026, 12, 7);
    while (!rest.empty()) {
        size_t end = rest.find('\f');
        std::string_view file = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (file.empty()) continue;
        uint8_t step = (uint8_t)file[0];
        day += step < 8 ? step : (int64_t)step * 997;  // now and then years later
        files.emplace_back(day, file.substr(1));
    }

    std::vector<DayRow> one = ReadSource(files, options, "PC1");
    if (!options.keepInactiveDays) {
        for (const DayRow& row : one) CheckRow(row, options.dayStartS);
        return 0;
    }
    // Two copies of one PC unite into that PC: the same figures, the counts twice.
    std::vector<DayRow> rows = one, copy = ReadSource(files, options, "PC2");
    rows.insert(rows.end(), copy.begin(), copy.end());
    size_t own = 0;
    for (const DayRow& row : MergeUsers(rows)) {
        CheckRow(row, options.dayStartS);
        while (own < one.size() && one[own].day < row.day) ++own;
        Check(own < one.size() && one[own].day == row.day);
        const DayRow& alone = one[own];
        Check(row.first == alone.first && row.last == alone.last && row.activeS == alone.activeS &&
              row.lockedS == alone.lockedS && row.suspendedS == alone.suspendedS && row.offS == alone.offS);
        Check(row.starts == 2 * alone.starts && row.badLines == 2 * alone.badLines && row.flags == alone.flags);
    }
    // With a PC that has every other file, whose silences cover the first's days:
    // at least the first's active time, within the day.
    std::vector<std::pair<int64_t, std::string_view>> half;
    for (size_t i = 0; i < files.size(); i += 2) half.push_back(files[i]);
    rows = one;
    copy = ReadSource(half, options, "PC3");
    rows.insert(rows.end(), copy.begin(), copy.end());
    own = 0;
    for (const DayRow& row : MergeUsers(rows)) {
        CheckRow(row, options.dayStartS);
        while (own < one.size() && one[own].day < row.day) ++own;
        if (own == one.size() || one[own].day != row.day || one[own].activeS == 0) continue;
        Check(row.activeS >= one[own].activeS && row.first <= one[own].first && row.last >= one[own].last);
    }
    return 0;
}
