// What the timeline's and the union's tests check of a day: the figures
// expected, and that they are sound whatever the case (the sums make the
// span, none is negative).
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "report_model.h"

struct DayFigures {
    CivilSeconds first, last;
    int64_t active, locked, suspended, off;
};

inline void ExpectSound(const DayRow& row, const std::string& name)
{
    EXPECT_EQ(row.activeS + row.lockedS + row.suspendedS + row.offS, row.spanS) << name;
    EXPECT_EQ(row.spanS, row.last - row.first) << name;
    for (int64_t v : {row.activeS, row.lockedS, row.suspendedS, row.offS}) EXPECT_GE(v, 0) << name;
}

inline void ExpectFigures(const DayRow& row, const DayFigures& expected, const std::string& name)
{
    EXPECT_EQ(row.first, expected.first) << name;
    EXPECT_EQ(row.last, expected.last) << name;
    EXPECT_EQ(row.activeS, expected.active) << name;
    EXPECT_EQ(row.lockedS, expected.locked) << name;
    EXPECT_EQ(row.suspendedS, expected.suspended) << name;
    EXPECT_EQ(row.offS, expected.off) << name;
    ExpectSound(row, name);
}
