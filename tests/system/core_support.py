"""The core tests' support: the GUI thread's calls, idle ticks, pointer moves between them."""
import time
from dataclasses import dataclass

import pytest

from relay import Own
from waits import wait_until

ALREADY_RUNNING_TEXT = "このソフトはすでに起動しています。"
SAVE_FAILED_TEXT = "設定の保存に失敗しました。"
MB_ICONERROR, MB_ICONWARNING = 0x10, 0x30
MUTEX_CALL = "KERNEL32.CreateMutexW"


def gui_calls(trace, function):
    return Own.of_mutex(trace).calls(trace, function)


def timer_periods(trace):
    """{timer id: period in ms} of the GUI thread's SetTimer calls."""
    return {e.args[1].value: e.args[2].int32 for e in gui_calls(trace, "user32.SetTimer")}


def box_flags(trace):
    return [e.args[-1].int32 for e in gui_calls(trace, "user32.MessageBoxW")]


@dataclass
class Tick:
    started: float  # relay time of the GetCursorPos call
    sampled: bool = False  # its return is in the trace: the sample is taken
    lock_time: float = None  # relay time of this tick's LockWorkStation call
    locked = property(lambda self: self.lock_time is not None)


class IdleTicks:
    """Ticks of TIMER_IDLE seen through the GUI thread's GetCursorPos calls.
    The first is the reference capture in WM_CREATE, every later one a tick;
    a LockWorkStation call belongs to the tick before it."""

    def __init__(self, app):
        self.app = app

    def ticks(self):
        trace = self.app.trace()
        ticks, seen_capture = [], False
        tid = Own.of_mutex(trace).tid
        for e in trace.select(("user32.GetCursorPos", "user32.LockWorkStation"), tid, ("Call", "Ret")):
            if e.name.endswith("GetCursorPos") and not seen_capture:
                seen_capture = e.kind == "Ret"
            elif e.name.endswith("GetCursorPos") and e.kind == "Call":
                ticks.append(Tick(e.time))
            elif e.name.endswith("GetCursorPos"):
                ticks[-1].sampled = True
            elif e.kind == "Call":
                assert ticks, "LockWorkStation was called before the first idle tick"
                assert not ticks[-1].locked, "two LockWorkStation calls in one tick"
                ticks[-1].lock_time = e.time
        return ticks

    def counts(self):  # (ticks begun, ticks whose sample is taken)
        ticks = self.ticks()
        return len(ticks), sum(t.sampled for t in ticks)

    def wait_sampled(self, count, timeout):
        wait_until(lambda: self.counts()[1] >= count, timeout, 0.02, f"{count} sampled idle ticks")

    def wait_complete(self, count, timeout):
        """Waits until the first count ticks are over (the next one has begun),
        so that whether each of them locked is settled; returns those ticks."""
        return wait_until(lambda: (t := self.ticks())[count:] and t, timeout, 0.02, f"{count + 1} idle ticks")[:count]


class TickSyncedPointer:
    """The X pointer, moved only right after a tick has taken its sample, so
    that each move falls between two known samples however slowly the
    machine runs: the trace prints a call before it runs and its return after."""

    def __init__(self, wine, x, y):
        self.wine, self.x, self.y = wine, x, y
        self.ticks = None  # the IdleTicks of the program, once it runs
        self.begun_at_last_move = 0
        self.move_by(0, 0)

    def move_by(self, dx, dy):
        self.x, self.y = self.x + dx, self.y + dy
        self.wine.x("mousemove", "--sync", self.x, self.y)  # returns once the server has it there

    def location(self):
        values = dict(line.split("=", 1) for line in self.wine.x("getmouselocation", "--shell").stdout.decode().split())
        return int(values["X"]), int(values["Y"])

    def move_after_tick(self, dx, dy, timeout=15):
        """Moves once, right after the next sample (one taken after any earlier
        move). Returns (ticks sampled before the move, ticks begun after it,
        when it moved); the counts differ when a tick raced it."""
        self.ticks.wait_sampled(max(self.ticks.counts()[1], self.begun_at_last_move) + 1, timeout)
        before = self.ticks.counts()[1]
        self.move_by(dx, dy)
        moved_at = time.clock_gettime(time.CLOCK_MONOTONIC_RAW)  # the relay's clock
        self.begun_at_last_move = self.ticks.counts()[0]
        return before, self.begun_at_last_move, moved_at

    def clean_move_after_tick(self, dx, dy, attempts=5):
        """move_after_tick until no tick raced it; returns (ticks sampled before the move, when it moved)."""
        for _ in range(attempts):
            before, after, moved_at = self.move_after_tick(dx, dy)
            if before == after:
                return before, moved_at
        pytest.fail(f"a tick raced every one of {attempts} pointer moves")
