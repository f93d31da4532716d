#include "app/idle_monitor.h"

#include <windows.h>

IdleMonitorState IdleMonitor = {{0, 0}, 0, false};

static int64_t Magnitude(int64_t v) { return v < 0 ? -v : v; }

bool StepIdle(IdleMonitorState* state, const CursorPoint* sample, const AppSettings& settings)
{
    // A refused sample (the lock screen, for one) is no evidence either way:
    // the tick changes nothing and never compares against a point not taken.
    if (!sample) return false;
    if (!state->hasReference) {
        state->lastCursorPos = *sample;
        state->hasReference = true;
        return false;
    }
    int64_t dx = (int64_t)sample->x - state->lastCursorPos.x;
    int64_t dy = (int64_t)sample->y - state->lastCursorPos.y;
    bool moved = Magnitude(dx) > settings.IdleMoveThreshold || Magnitude(dy) > settings.IdleMoveThreshold;
    if (moved) {
        state->stillSeconds = 0;
    } else {
        // No cap, but no signed overflow either: a count that wrapped
        // negative after 68 years would stop the locks.
        int64_t sum = (int64_t)state->stillSeconds + settings.TimerIntervalSec;
        state->stillSeconds = sum > INT32_MAX ? INT32_MAX : (int32_t)sum;
    }
    state->lastCursorPos = *sample;
    return state->stillSeconds >= settings.IdleLimitSeconds;
}

static bool SampleCursor(CursorPoint* point)
{
    POINT p;
    if (!GetCursorPos(&p)) return false;
    point->x = p.x;
    point->y = p.y;
    return true;
}

void CaptureCursorPos()
{
    CursorPoint p;
    if (SampleCursor(&p)) {
        IdleMonitor.lastCursorPos = p;
        IdleMonitor.hasReference = true;
    }
    // A refused capture keeps the last real sample; with none yet, the next
    // good tick becomes the reference.
}

void CheckIdle()
{
    CursorPoint p;
    bool ok = SampleCursor(&p);
    if (StepIdle(&IdleMonitor, ok ? &p : nullptr, Settings)) LockWorkStation();
}
