#include <gtest/gtest.h>

#include <climits>

#include "app/idle_monitor.h"

namespace {

AppSettings Make(int interval, int limit, int threshold)
{
    AppSettings s = DefaultSettings();
    s.TimerIntervalSec = interval;
    s.IdleLimitSeconds = limit;
    s.IdleMoveThreshold = threshold;
    return s;
}

IdleMonitorState At(int x, int y, int still = 0)
{
    IdleMonitorState state = {{x, y}, still, true};
    return state;
}

bool Tick(IdleMonitorState* state, int x, int y, const AppSettings& s)
{
    CursorPoint p = {x, y};
    return StepIdle(state, &p, s);
}

// Ticks with the pointer standing still until the first lock; returns its tick number.
int TicksUntilLock(IdleMonitorState* state, const AppSettings& s, int maxTicks)
{
    for (int tick = 1; tick <= maxTicks; ++tick) {
        if (Tick(state, state->lastCursorPos.x, state->lastCursorPos.y, s)) return tick;
    }
    return -1;
}

}  // namespace

TEST(IdleStep, WorkedExampleAllEightTicks)
{
    struct Row {
        int x, y;
        int stillAfter;
        bool lock;
    };
    const Row rows[] = {
        {101, 100, 10, false}, {103, 102, 20, false}, {107, 102, 0, false}, {107, 102, 10, false},
        {107, 102, 20, false}, {110, 99, 30, true},   {110, 99, 40, true},  {120, 99, 0, false},
    };
    AppSettings s = Make(10, 30, 3);
    IdleMonitorState state = At(100, 100);
    int tick = 0;
    for (const Row& r : rows) {
        ++tick;
        EXPECT_EQ(Tick(&state, r.x, r.y, s), r.lock) << "tick " << tick;
        EXPECT_EQ(state.stillSeconds, r.stillAfter) << "tick " << tick;
        EXPECT_EQ(state.lastCursorPos.x, r.x) << "the reference follows every sample";
        EXPECT_EQ(state.lastCursorPos.y, r.y);
    }
}

TEST(IdleStep, MovementIsJudgedPerAxisAgainstTheThreshold)
{
    struct Row {
        int threshold, dx, dy;
        bool moved;
    };
    const Row rows[] = {
        {0, 1, 0, true},   {0, 0, -1, true},  {0, 0, 0, false},
        {3, 3, -3, false}, {3, 4, 0, true},   {3, 0, -4, true},  {3, -3, 3, false},
        {100, 100, -100, false}, {100, 101, 0, true},
    };
    for (const Row& r : rows) {
        AppSettings s = Make(10, 900, r.threshold);
        IdleMonitorState state = At(500, 500, 40);
        Tick(&state, 500 + r.dx, 500 + r.dy, s);
        EXPECT_EQ(state.stillSeconds, r.moved ? 0 : 50)
            << "threshold " << r.threshold << " change " << r.dx << "," << r.dy;
    }
}

TEST(IdleStep, ACreepWithinTheThresholdStillLocks)
{
    AppSettings s = Make(10, 900, 3);
    IdleMonitorState state = At(0, 0);
    int firstLock = -1;
    for (int tick = 1; tick <= 100 && firstLock < 0; ++tick) {
        if (Tick(&state, 3 * tick, 0, s)) firstLock = tick;
    }
    EXPECT_EQ(firstLock, 90);
    EXPECT_EQ(state.lastCursorPos.x, 270) << "the pointer travelled far, 3 px at a time";
}

TEST(IdleStep, LockTickFollowsFromIntervalAndLimit)
{
    struct Row {
        int interval, limit, expectedTick;
    };
    const Row rows[] = {
        {10, 900, 90},   // defaults
        {10, 905, 91},   // the limit is reached at 910
        {3600, 5, 1},    // the first still tick already exceeds the limit
        {1, 5, 5},
        {7, 32767, 4681},
    };
    for (const Row& r : rows) {
        AppSettings s = Make(r.interval, r.limit, 3);
        IdleMonitorState state = At(10, 10);
        EXPECT_EQ(TicksUntilLock(&state, s, 10000), r.expectedTick) << r.interval << "/" << r.limit;
    }
}

TEST(IdleStep, LocksAgainEveryStillTickUntilMovement)
{
    AppSettings s = Make(10, 900, 3);
    IdleMonitorState state = At(10, 10);
    ASSERT_EQ(TicksUntilLock(&state, s, 100), 90);
    EXPECT_TRUE(Tick(&state, 10, 10, s)) << "tick 91 locks again";
    EXPECT_TRUE(Tick(&state, 12, 8, s)) << "tick 92, still within the threshold";
    EXPECT_EQ(state.stillSeconds, 920) << "a lock does not reset the count";
    EXPECT_FALSE(Tick(&state, 20, 8, s));
    EXPECT_EQ(state.stillSeconds, 0);
}

TEST(IdleStep, NewSettingsActFromTheNextTick)
{
    IdleMonitorState state = At(10, 10, 500);
    EXPECT_TRUE(Tick(&state, 10, 10, Make(10, 400, 3))) << "a limit lowered below the count locks at once";
    EXPECT_EQ(state.stillSeconds, 510);

    state = At(10, 10, 880);
    EXPECT_TRUE(Tick(&state, 10, 10, Make(20, 900, 3))) << "880 + new interval 20 reaches 900";

    state = At(10, 10, 880);
    EXPECT_TRUE(Tick(&state, 15, 10, Make(20, 900, 10))) << "the new threshold 10 makes 5 px still";
    EXPECT_EQ(state.stillSeconds, 900);
}

TEST(IdleStep, CountHasNoCapAndNeverWraps)
{
    AppSettings s = Make(3600, 32767, 3);
    IdleMonitorState state = At(1, 1);
    for (int i = 0; i < 10000; ++i) Tick(&state, 1, 1, s);
    EXPECT_EQ(state.stillSeconds, 36000000) << "far beyond the largest limit";

    state = At(1, 1, INT_MAX - 5);
    EXPECT_TRUE(Tick(&state, 1, 1, s));
    EXPECT_EQ(state.stillSeconds, INT_MAX) << "a wrapped negative count would stop the locks";
}

TEST(IdleStep, RefusedSamplesDecideNothing)
{
    AppSettings s = Make(10, 30, 3);
    IdleMonitorState state = At(100, 100, 40);
    EXPECT_FALSE(StepIdle(&state, nullptr, s)) << "no lock on a refused sample";
    EXPECT_EQ(state.stillSeconds, 40);
    EXPECT_EQ(state.lastCursorPos.x, 100);
    EXPECT_TRUE(Tick(&state, 101, 100, s)) << "the next real sample compares with the last real one";
    EXPECT_EQ(state.stillSeconds, 50);

    IdleMonitorState fresh = {{0, 0}, 0, false};
    EXPECT_FALSE(Tick(&fresh, 640, 480, s)) << "without a reference the sample only becomes one";
    EXPECT_EQ(fresh.stillSeconds, 0);
    EXPECT_TRUE(fresh.hasReference);
    Tick(&fresh, 641, 480, s);
    EXPECT_EQ(fresh.stillSeconds, 10) << "compared with the sample, not with (0, 0)";
}
