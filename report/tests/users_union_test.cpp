#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "civil_time.h"
#include "day_checks.h"
#include "users_union.h"

namespace {

const int64_t DEC_7 = DaysFromCivil(2026, 12, 7);
constexpr int64_t H = 3600;

CivilSeconds At(int hour)
{
    return DEC_7 * SECONDS_PER_DAY + hour * H;
}

// One source's day of December 7th: its stretches as (from hour, to hour, state),
// each opened by line `from` of the source's only file.
DayRow SourceDay(const std::string& source, const std::string& user,
                 const std::vector<std::tuple<int, int, State>>& stretches, int64_t starts = 0, uint32_t flags = 0)
{
    DayRow row;
    row.source = source;
    row.user = user;
    row.place = source.substr(0, source.find('/'));
    row.day = DEC_7;
    row.starts = starts;
    row.flags = flags;
    row.files = std::make_shared<const std::vector<std::string>>(std::vector<std::string>{source + "/20261207.txt"});
    for (const auto& [from, to, state] : stretches)
        row.intervals.push_back(Interval{At(from), At(to), state, {0, (uint32_t)from}, {0, (uint32_t)to}});
    return row;
}

// A source asleep from the day before through the two days after, its whole
// days kept as one record on its last row.
DayRow AsleepThroughTheDay(const std::string& source)
{
    DayRow row = SourceDay(source, "u", {});
    row.day = DEC_7 - 1;
    row.quietDays = std::make_shared<const std::vector<QuietDays>>(
        std::vector<QuietDays>{{DEC_7, DEC_7 + 2, Interval{At(0), At(24), State::Suspended, {0, 1}, {0, 2}}}});
    return row;
}

}  // namespace

// Each case: the sources' days, then the user's one row (or none): first, last, the four sums.
TEST(UsersUnion, AUnionNeverASum)
{
    const State A = State::Active, L = State::Locked, S = State::Suspended, O = State::Off;
    struct Row {
        const char* name;
        std::vector<DayRow> days;
        size_t rows;
        CivilSeconds first, last;
        int64_t active, locked, suspended, off;
    };
    const Row rows[] = {
        {"the overlap once; locked on one PC while the other is gone",
         {SourceDay("PC1/u_log", "u", {{9, 12, A}}), SourceDay("PC2/u_log", "u", {{10, 11, A}, {11, 14, L}, {14, 15, A}})},
         1, At(9), At(15), 4 * H, 2 * H, 0, 0},
        {"active over locked over asleep over off",
         {SourceDay("PC1/u_log", "u", {{8, 10, O}, {10, 12, S}, {12, 16, L}}),
          SourceDay("PC2/u_log", "u", {{9, 11, A}, {11, 13, O}, {13, 14, A}})},
         1, At(9), At(14), 3 * H, H, H, 0},
        {"a gap no source covers is off", {SourceDay("PC1/u_log", "u", {{9, 10, A}}), SourceDay("PC2/u_log", "u", {{11, 12, A}})},
         1, At(9), At(12), 2 * H, 0, 0, H},
        {"a PC asleep for whole days is asleep in the other's gaps",
         {AsleepThroughTheDay("PC1/u_log"), SourceDay("PC2/u_log", "u", {{9, 10, A}, {11, 12, A}})}, 1, At(9), At(12),
         2 * H, 0, H, 0},
        {"no active second on any PC: no row",
         {SourceDay("PC1/u_log", "u", {{9, 10, L}}), SourceDay("PC2/u_log", "u", {{9, 12, S}})}, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        std::vector<DayRow> merged = MergeUsers(r.days);
        ASSERT_EQ(merged.size(), r.rows) << r.name;
        if (r.rows == 0) continue;
        ExpectFigures(merged[0], {r.first, r.last, r.active, r.locked, r.suspended, r.off}, r.name);
    }
}

TEST(UsersUnion, OneRowPerUserWithTheSourcesCountsAndLines)
{
    std::vector<DayRow> days = {
        SourceDay("PC1/u_log", "u", {{9, 12, State::Active}}, 1),
        SourceDay("PC2/u_log", "u", {{10, 11, State::Active}, {11, 14, State::Locked}}, 2, FLAG_TWO_INSTANCES),
        SourceDay("PC2/v_log", "v", {{9, 10, State::Active}}, 1),
    };
    days[0].place = "PC3";  // the places sorted, not in the sources' order
    std::vector<DayRow> merged = MergeUsers(days);
    ASSERT_EQ(merged.size(), 2u);
    const DayRow& u = merged[0];
    EXPECT_EQ(u.source, "u");
    EXPECT_EQ(u.place, "PC2 PC3");
    EXPECT_EQ(merged[1].place, "PC2");
    EXPECT_EQ(u.starts, 3);
    EXPECT_EQ(u.flags, (uint32_t)FLAG_TWO_INSTANCES);
    // The lines of both sources, PC2's after PC1's: the lock from 12 on is PC2's line 11.
    ASSERT_TRUE(u.files);
    EXPECT_EQ(*u.files, (std::vector<std::string>{"PC1/u_log/20261207.txt", "PC2/u_log/20261207.txt"}));
    ASSERT_EQ(u.intervals.size(), 2u);
    EXPECT_EQ(u.intervals[1].begin, At(12));
    EXPECT_EQ(u.intervals[1].opened.file, 1u);
    EXPECT_EQ(u.intervals[1].opened.line, 11u);
    EXPECT_EQ(merged[1].source, "v");
    EXPECT_EQ(merged[1].activeS, H);
}
