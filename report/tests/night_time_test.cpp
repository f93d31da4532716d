#include <gtest/gtest.h>

#include <vector>

#include "civil_time.h"
#include "night_time.h"

namespace {

// Hours after the midnight that begins 2026-12-07 (negative: the evening before).
int64_t At(double hours)
{
    return DaysFromCivil(2026, 12, 7) * SECONDS_PER_DAY + (int64_t)(hours * 3600);
}

}  // namespace

TEST(NightTime, AcrossTheNightsEdges)
{
    struct Row {
        const char* name;
        std::vector<CivilSpan> active;
        double first, last;
        double nightHours;
    };
    const Row rows[] = {
        {"a day's work sees no night", {{At(9), At(18)}}, 9, 18, 0},
        {"across 22:00", {{At(20), At(23.5)}}, 20, 23.5, 1.5},
        {"across midnight", {{At(23), At(25)}}, 23, 25, 2},
        {"across 5:00", {{At(4), At(6)}}, 4, 6, 1},
        {"the spans' gaps do not count", {{At(21), At(22.5)}, {At(23.5), At(24.25)}}, 21, 24.25, 1.25},
        {"first..last cuts the spans", {{At(-3), At(30)}}, 21.5, 27, 5},
        {"a day starting 05:00 that runs past 22:00 and on to 5:00",
         {{At(5), At(12)}, {At(13), At(29)}}, 5, 29, 7},
        {"from 4:00 to 23:00 touches two nights", {{At(4), At(23)}}, 4, 23, 2},
        {"two whole days", {{At(-24), At(24)}}, -24, 24, 14},
    };
    for (const Row& r : rows)
        EXPECT_EQ(NightSeconds(r.active, At(r.first), At(r.last)), (int64_t)(r.nightHours * 3600)) << r.name;
}
