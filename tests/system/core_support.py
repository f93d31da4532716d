"""Support for the application-core system tests: INI files, relay traces of
one StillSentinel process, the X pointer, message boxes and file snapshots."""
import hashlib
import os
import re
import subprocess
import time
from pathlib import Path

import pytest

from conftest import chattr, windows_path  # noqa: F401 (re-exported)

SECTION = "StillSentinel"
KEYS = ("TimerIntervalSec", "IdleLimitSeconds", "IdleMoveThreshold", "LogIntervalSec")
DEFAULTS = (10, 900, 3, 30)
IDOK = 1
ALREADY_RUNNING_TEXT = "このソフトはすでに起動しています。"
SAVE_FAILED_TEXT = "設定の保存に失敗しました。"
CAPTION = "StillSentinel"
MB_ICONERROR = 0x10
MB_ICONWARNING = 0x30

# The relay trace prints the running thread's id on every line; the thread
# that creates the single-instance mutex is the program's GUI thread. Other
# Wine processes (explorer, services) write to the same stderr.
MUTEX_CALL = "KERNEL32.CreateMutexW"


def canonical_ini(values):
    """The exact bytes of a file holding only our section with the four keys,
    in order, in the layout the profile functions write (CRLF, key=value)."""
    lines = [f"[{SECTION}]"] + [f"{key}={value}" for key, value in zip(KEYS, values)]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def ini_path(folder, user="tester"):
    return Path(folder) / f"{user}_{SECTION}.ini"




# ---------------------------------------------------------------- relay trace

_CALL = re.compile(r"^(\d+\.\d+):([0-9a-f]{4,}):(Call|Ret ) ([\w.]+)\((.*)")


class Trace:
    """Follows a growing relay trace (stderr of one app) incrementally."""

    def __init__(self, app):
        self.path = Path(app.stderr_path)
        self.offset = 0
        self.partial = b""
        self.records = []  # (time, thread, "Call"|"Ret", dll in lower case, name, argument text)
        self.thread = None
        self.refresh()

    def refresh(self):
        with open(self.path, "rb") as stream:
            stream.seek(self.offset)
            data = stream.read()
        self.offset += len(data)
        data = self.partial + data
        complete, _, self.partial = data.rpartition(b"\n")
        for line in complete.decode("utf-8", errors="replace").split("\n") if complete else ():
            match = _CALL.match(line)
            if not match:
                continue
            dll, _, name = match.group(4).partition(".")
            record = (float(match.group(1)), match.group(2), match.group(3).strip(), dll.lower(), name,
                      match.group(5))
            self.records.append(record)
            if (self.thread is None and record[2] == "Call" and f"{record[3]}.{name}".lower() == MUTEX_CALL.lower()
                    and "StillSentinel_Mutex" in record[5]):
                self.thread = record[1]
        return self

    def _select(self, functions, kinds):
        wanted = {(f.split(".", 1)[0].lower(), f.split(".", 1)[1]) for f in functions}
        self.refresh()
        return [r for r in self.records
                if r[1] == self.thread and r[2] in kinds and (r[3], r[4]) in wanted]

    def calls(self, function, kind="Call"):
        """(time, argument text) of each call of function ("dll.Name") made on
        the GUI thread. The dll is matched without regard to case because the
        trace spells it the way the program imports it."""
        return [(r[0], r[5]) for r in self._select((function,), (kind,))]

    def events(self, functions):
        """Calls and returns of several functions on the GUI thread in trace
        order, as (time, "Call" or "Ret", name)."""
        return [(r[0], r[2], r[4]) for r in self._select(functions, ("Call", "Ret"))]


def relay_arguments(argument_text):
    """Splits the printed arguments of a relay call ("a,b L\"x\",c) ret=...")."""
    inner = argument_text.rsplit(") ret=", 1)[0]
    return [part.strip() for part in inner.split(",")]


def set_timer_periods(trace):
    """{timer id: period in ms} from the traced SetTimer calls."""
    periods = {}
    for _, args in trace.calls("user32.SetTimer"):
        parts = relay_arguments(args)
        periods[int(parts[1], 16)] = int(parts[2], 16)
    return periods


def message_box_flags(trace):
    return [int(relay_arguments(args)[-1], 16) for _, args in trace.calls("user32.MessageBoxW")]


# --------------------------------------------------------------- idle ticks

class Tick:
    """One TIMER_IDLE tick as the trace shows it."""

    def __init__(self, started):
        self.started = started      # relay time of the GetCursorPos call
        self.sampled = False        # its return is in the trace: the sample is taken
        self.lock_time = None       # relay time of this tick's LockWorkStation call, if any

    @property
    def locked(self):
        return self.lock_time is not None


class IdleTicks:
    """Ticks of TIMER_IDLE seen through the GUI thread's GetCursorPos calls.

    The first GetCursorPos is the reference capture in WM_CREATE; every later
    one is one tick. A LockWorkStation call belongs to the tick before it."""

    def __init__(self, trace):
        self.trace = trace

    def ticks(self):
        ticks = []
        seen_capture = False
        for when, kind, name in self.trace.events(("user32.GetCursorPos", "user32.LockWorkStation")):
            if name == "GetCursorPos" and not seen_capture:
                seen_capture = kind == "Ret"
            elif name == "GetCursorPos" and kind == "Call":
                ticks.append(Tick(when))
            elif name == "GetCursorPos":
                ticks[-1].sampled = True
            elif kind == "Call":
                assert ticks, "LockWorkStation was called before the first idle tick"
                assert not ticks[-1].locked, "two LockWorkStation calls in one tick"
                ticks[-1].lock_time = when
        return ticks

    def counts(self):
        """(ticks begun, ticks whose sample is taken)."""
        ticks = self.ticks()
        return len(ticks), sum(t.sampled for t in ticks)

    def _wait(self, count, timeout, sampled_only):
        deadline = time.monotonic() + timeout
        while True:
            ticks = self.ticks()
            have = sum(t.sampled for t in ticks) if sampled_only else len(ticks)
            if have >= count:
                return ticks
            assert time.monotonic() < deadline, f"only {have} of {count} idle ticks within {timeout} s"
            time.sleep(0.02)

    def wait_sampled(self, count, timeout):
        """Waits until count ticks have taken their samples."""
        return self._wait(count, timeout, True)

    def wait_complete(self, count, timeout):
        """Waits until the first count ticks are over (the next one has begun),
        so that whether each of them locked is settled; returns those ticks."""
        return self._wait(count + 1, timeout, False)[:count]


class Pointer:
    """The X pointer of the test's display, moved with xdotool."""

    def __init__(self, wine, x, y):
        self.env = {**os.environ, "DISPLAY": wine.xvfb.display}
        self.x, self.y = x, y
        self._move()

    def _move(self):
        # --sync returns once the server has the pointer at its new place.
        subprocess.run(["xdotool", "mousemove", "--sync", str(self.x), str(self.y)], env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       timeout=10, check=True)

    def move_by(self, dx, dy):
        self.x += dx
        self.y += dy
        self._move()

    def location(self):
        out = subprocess.run(["xdotool", "getmouselocation", "--shell"], env=self.env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10, check=True).stdout
        values = dict(line.split("=", 1) for line in out.decode().split())
        return int(values["X"]), int(values["Y"])


class TickSyncedPointer:
    """Moves the pointer only right after a tick has taken its sample, so that
    each move falls between two known samples however slowly the machine runs.

    The trace prints a call before it runs and its return after, so a tick
    whose call line comes after a move samples after it, and a tick whose
    return line came before a move sampled before it."""

    def __init__(self, pointer, ticks):
        self.pointer = pointer
        self.ticks = ticks
        self.begun_at_last_move = 0

    def move_after_tick(self, dx, dy, timeout=15):
        """Moves once, right after the next sample (one taken after any
        earlier move). Returns (ticks sampled before the move, ticks begun
        after it, when it moved); the counts differ when a tick raced it."""
        _, sampled = self.ticks.counts()
        self.ticks.wait_sampled(max(sampled, self.begun_at_last_move) + 1, timeout)
        _, before = self.ticks.counts()
        self.pointer.move_by(dx, dy)
        moved_at = time.clock_gettime(time.CLOCK_MONOTONIC_RAW)  # the relay's clock
        after, _ = self.ticks.counts()
        self.begun_at_last_move = after
        return before, after, moved_at

    def clean_move_after_tick(self, dx, dy, attempts=5):
        """Like move_after_tick, repeated (the move again) until no tick raced
        it; returns (the number of ticks that sampled before the move, when
        it moved). Every later tick samples after it."""
        for _ in range(attempts):
            before, after, moved_at = self.move_after_tick(dx, dy)
            if before == after:
                return before, moved_at
        pytest.fail(f"a tick raced every one of {attempts} pointer moves")


# --------------------------------------------------------------- msg boxes

def wait_message_box(wine, title=CAPTION, timeout_ms=30000):
    """(exit code, values, buttons) of the sstest msgbox command."""
    code, values, lines = wine.sstest("msgbox", title, timeout_ms)
    buttons = [line.partition("=")[2] for line in lines if line.startswith("button=")]
    return code, values, buttons


def dismiss_message_box(wine, hwnd, button=IDOK):
    code, values, _ = wine.sstest("msgboxpress", hwnd, button, 10000)
    assert code == 0 and values.get("gone") == "1", f"message box {hwnd} did not go away"


def next_window_or_box(wine, timeout=30):
    """Whichever comes first: the main window ("window", values) or a message
    box with our caption ("box", values), so a box that blocks start-up fails
    a test at once instead of after a long wait for the window."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        code, values, _ = wine.sstest("wait", "StillSentinelClass", "*", 0)
        if code == 0:
            return "window", values
        code, values, _ = wait_message_box(wine, timeout_ms=200)
        if code == 0:
            return "box", values
    pytest.fail(f"neither the main window nor a message box appeared within {timeout} s")


def no_main_window_yet(wine):
    code, _, _ = wine.sstest("wait", "StillSentinelClass", "*", 0)
    return code != 0


# --------------------------------------------------------------- files

def _walk(root):
    # Symbolic links are not followed: a prefix links its user folders to $HOME.
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            yield Path(folder) / name


def snapshot(root):
    """{relative path: (kind, size, mtime_ns, sha256)} of everything under root."""
    root = Path(root)
    found = {}
    for path in _walk(root):
        info = path.lstat()
        key = str(path.relative_to(root))
        if path.is_dir() and not path.is_symlink():
            found[key] = ("dir", 0, info.st_mtime_ns, "")
        elif path.is_file() and not path.is_symlink():
            found[key] = ("file", info.st_size, info.st_mtime_ns, hashlib.sha256(path.read_bytes()).hexdigest())
        else:
            found[key] = ("other", 0, info.st_mtime_ns, "")
    return found


def files_named_like(root, needle):
    needle = needle.lower()
    return sorted(str(p) for p in _walk(root) if needle in p.name.lower())


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not predicate():
        assert time.monotonic() < deadline, f"timed out after {timeout} s waiting for {what}"
        time.sleep(0.05)


