"""The idle lock end to end on Wine: real pointer motion on the display, ticks
and LockWorkStation calls seen in the GUI thread's relay trace."""
import time

from core_support import MUTEX_CALL, IdleTicks, TickSyncedPointer


def test_idle_lock_end_to_end(wine, record_property):
    """1 s ticks, limit 5 s, threshold 3 px. Ticks are counted through the
    GUI thread's GetCursorPos calls, so the checks hold on a slow machine."""
    pointer = mover = TickSyncedPointer(wine, 100, 300)
    app = wine.launch(ini=(1, 5, 3, 0), relay=(MUTEX_CALL, "user32.GetCursorPos", "user32.LockWorkStation"))
    ticks = mover.ticks = IdleTicks(app)

    # (a) 10 px every 0.3 s for more than 8 s: no lock.
    moving_from = len(ticks.wait_complete(1, 20))
    started = time.monotonic()
    moves = 0
    while time.monotonic() - started < 8.5:
        pointer.move_by(10, 0)
        moves += 1
        time.sleep(0.3)
    # The last move comes right after a tick: tick stop+1 is the first to
    # sample the pointer where it came to rest, and it still sees a move.
    stop, stopped_at = mover.clean_move_after_tick(10, 0)
    timeline = ticks.wait_complete(stop + 10, 40)
    moving = timeline[moving_from:stop]
    assert moves >= 20
    assert len(moving) >= 7 and moving[-1].started - moving[0].started >= 6.5, "too few ticks while moving"
    assert not any(t.locked for t in timeline[:stop]), "a lock while the pointer was moving"

    # (b) Tick stop+1 saw the last move; stop+2 .. stop+6 are the five still
    # ticks, and the fifth of them locks. Every later still tick locks again.
    assert [t.locked for t in timeline[stop:stop + 10]] == [False] * 5 + [True] * 5
    lock_times = [t.lock_time for t in timeline[stop + 5:stop + 10]]
    delay = lock_times[0] - stopped_at
    print(f"first LockWorkStation {delay:.2f} s after the pointer stopped")
    record_property("first_lock_delay_s", round(delay, 2))
    assert 4.8 <= delay <= 10, f"first lock {delay:.2f} s after the stop"
    spacing = (lock_times[-1] - lock_times[0]) / (len(lock_times) - 1)
    print(f"mean spacing of the following calls {spacing:.3f} s")
    assert 0.8 <= spacing <= 1.3

    # (c) A 4 px move resets the count: five still ticks again before a lock.
    reset, _ = mover.clean_move_after_tick(4, 0)
    timeline = ticks.wait_complete(reset + 7, 30)
    assert timeline[reset - 1].locked, "the tick before the 4 px move should still lock"
    assert [t.locked for t in timeline[reset:reset + 7]] == [False] * 5 + [True] * 2

    # ... while a creep of at most 3 px per axis between two samples never does.
    x0, y0 = pointer.location()
    creep = [mover.move_after_tick(dx, dy) for dx, dy in [(3, 0), (3, -3), (3, 0), (0, 3), (3, 3), (3, 0)]]
    first_seen = creep[0][0]     # ticks after this one sample after the first creep step
    last_begun = creep[-1][1]    # ticks after this one sample after the last step
    timeline = ticks.wait_complete(last_begun + 2, 20)
    assert pointer.location() == (x0 + 15, y0 + 3)
    crept = timeline[first_seen:]
    assert len(crept) >= 7
    assert all(t.locked for t in crept), "a tick during the 3 px creep did not lock"

    assert app.close() == 0
