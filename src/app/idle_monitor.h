// Locks the workstation once the pointer has stayed within the threshold long enough.
#pragma once
#include <stdint.h>

#include "app/settings.h"

struct CursorPoint {
    int32_t x;
    int32_t y;
};

struct IdleMonitorState {
    CursorPoint lastCursorPos;  // sample of the previous tick (or of the last capture)
    int32_t stillSeconds;       // nominal seconds the pointer has stayed within the threshold
    bool hasReference;          // false until a real sample has been taken
};

extern IdleMonitorState IdleMonitor;

// One tick's decision. sample is null when the platform refused the position.
// Returns true when the workstation should be locked.
bool StepIdle(IdleMonitorState* state, const CursorPoint* sample, const AppSettings& settings);

void CaptureCursorPos();
void CheckIdle();
