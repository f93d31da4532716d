#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "day_checks.h"
#include "outputs.h"
#include "users_union.h"

namespace {

// One source's day of December 7th: its stretches as (from hour, to hour, state),
// each opened by line `from` of the source's only file.
DayRow SourceDay(const std::string& source, const std::vector<std::tuple<int, int, State>>& stretches,
                 const std::string& user = "u")
{
    DayRow row = Day(source, user, At(7, 0), At(7, 0));
    row.files = std::make_shared<const std::vector<std::string>>(std::vector<std::string>{source + "/20261207.txt"});
    for (const auto& [from, to, state] : stretches)
        row.intervals.push_back(Interval{At(7, from), At(7, to), state, {0, (uint32_t)from}, {0, (uint32_t)to}});
    return row;
}

// A source asleep from the day before through the two days after, its whole
// days kept as one record on its last row.
DayRow AsleepThroughTheDay(const std::string& source)
{
    DayRow row = SourceDay(source, {});
    row.day -= 1;
    row.quietDays = std::make_shared<const std::vector<QuietDays>>(std::vector<QuietDays>{
        {row.day + 1, row.day + 3, Interval{At(7, 0), At(8, 0), State::Suspended, {0, 1}, {0, 2}}}});
    return row;
}

}  // namespace

// Each case: the sources' days, then the user's one row (no figures: none).
TEST(UsersUnion, AUnionNeverASumOneRowPerUserWithTheSourcesCountsAndLines)
{
    const State A = State::Active, L = State::Locked, S = State::Suspended, O = State::Off;
    const struct {
        const char* name;
        std::vector<DayRow> days;
        std::vector<DayFigures> merged;
    } rows[] = {
        {"the overlap once; locked on one PC while the other is gone",
         {SourceDay("PC1/u_log", {{9, 12, A}}), SourceDay("PC2/u_log", {{10, 11, A}, {11, 14, L}, {14, 15, A}})},
         {{At(7, 9), At(7, 15), 4 * H, 2 * H, 0, 0}}},
        {"active over locked over asleep over off",
         {SourceDay("PC1/u_log", {{8, 10, O}, {10, 12, S}, {12, 16, L}}),
          SourceDay("PC2/u_log", {{9, 11, A}, {11, 13, O}, {13, 14, A}})},
         {{At(7, 9), At(7, 14), 3 * H, H, H, 0}}},
        {"a gap no source covers is off", {SourceDay("PC1/u_log", {{9, 10, A}}), SourceDay("PC2/u_log", {{11, 12, A}})},
         {{At(7, 9), At(7, 12), 2 * H, 0, 0, H}}},
        {"a PC asleep for whole days is asleep in the other's gaps",
         {AsleepThroughTheDay("PC1/u_log"), SourceDay("PC2/u_log", {{9, 10, A}, {11, 12, A}})},
         {{At(7, 9), At(7, 12), 2 * H, 0, H, 0}}},
        {"no active second on any PC: no row",
         {SourceDay("PC1/u_log", {{9, 10, L}}), SourceDay("PC2/u_log", {{9, 12, S}})}, {}},
    };
    for (const auto& r : rows) {
        std::vector<DayRow> merged = MergeUsers(r.days);
        ASSERT_EQ(merged.size(), r.merged.size()) << r.name;
        if (!merged.empty()) ExpectFigures(merged[0], r.merged[0], r.name);
    }
    // The first case and another user: a row each, the places sorted (not in the sources' order), counts summed.
    std::vector<DayRow> days = rows[0].days;
    days.push_back(SourceDay("PC2/v_log", {{9, 10, A}}, "v"));
    days[0].place = "PC3", days[0].starts = 1, days[0].flags = FLAG_BAD_LINES;
    days[1].starts = 2, days[1].flags = FLAG_TWO_INSTANCES;
    std::vector<DayRow> merged = MergeUsers(days);
    std::string shown;  // "source place starts flags active;"
    for (const DayRow& m : merged)
        shown += m.source + " " + m.place + " " + std::to_string(m.starts) + " " +
                 JoinFlagNames(m.flags, DayFlagNames, ",") + " " + std::to_string(m.activeS) + ";";
    ASSERT_EQ(shown, "u PC2 PC3 3 two_instances,bad_lines 14400;v PC2 0  3600;");
    // The lines of both sources, PC2's after PC1's: the lock from 12 on is PC2's line 11.
    const DayRow& u = merged[0];
    ASSERT_TRUE(u.files);
    EXPECT_EQ(*u.files, (std::vector<std::string>{"PC1/u_log/20261207.txt", "PC2/u_log/20261207.txt"}));
    ASSERT_EQ(u.intervals.size(), 3u);
    EXPECT_EQ(u.intervals[1].begin, At(7, 12));
    EXPECT_EQ(u.intervals[1].opened.file, 1u);
    EXPECT_EQ(u.intervals[1].opened.line, 11u);
}
