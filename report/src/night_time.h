// Night work as the labour law counts it: from 22:00 to 5:00 local time.
#pragma once
#include <cstdint>
#include <vector>

constexpr int64_t NIGHT_BEGINS_S = 22 * 3600;
constexpr int64_t NIGHT_ENDS_S = 5 * 3600;

// [begin, end) in local civil seconds since 1970-01-01.
struct CivilSpan {
    int64_t begin = 0;
    int64_t end = 0;
};

// The seconds of [begin, end) that fall at night, over any number of nights.
int64_t NightSecondsIn(int64_t begin, int64_t end);

// The night seconds of the active spans (which do not overlap) within [first, last).
int64_t NightSeconds(const std::vector<CivilSpan>& active, int64_t first, int64_t last);
