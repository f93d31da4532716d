#include "night_time.h"

#include <algorithm>

#include "civil_time.h"

int64_t NightSecondsIn(int64_t begin, int64_t end)
{
    // Night k runs from 22:00 before day k's midnight to 5:00 after it.
    int64_t total = 0;
    for (int64_t k = FloorDiv(begin - NIGHT_ENDS_S, SECONDS_PER_DAY) + 1;; ++k) {
        int64_t midnight = k * SECONDS_PER_DAY;
        int64_t nightBegin = midnight - (SECONDS_PER_DAY - NIGHT_BEGINS_S), nightEnd = midnight + NIGHT_ENDS_S;
        if (nightBegin >= end) break;
        total += std::max<int64_t>(0, std::min(end, nightEnd) - std::max(begin, nightBegin));
    }
    return total;
}

int64_t NightSeconds(const std::vector<CivilSpan>& active, int64_t first, int64_t last)
{
    int64_t total = 0;
    for (const CivilSpan& span : active) {
        int64_t begin = std::max(span.begin, first), end = std::min(span.end, last);
        if (begin < end) total += NightSecondsIn(begin, end);
    }
    return total;
}
