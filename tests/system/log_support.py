"""Shared pieces of the event-log system tests: the texts, the INI, reading
and checking daily files, and bounded waits."""
import datetime
import re
import time
from contextlib import contextmanager
from pathlib import Path

import pytest

from conftest import BUILD, WAIT_SECONDS, immutable  # noqa: F401 (re-exported)

LOGWRITER = BUILD / "tests" / "helpers" / "logwriter" / "logwriter.exe"

USER = "tester"  # the conftest default, which Wine's GetUserNameW returns

WM_NULL = 0x0000
WM_CLOSE = 0x0010
WM_ENDSESSION = 0x0016
WM_COMMAND = 0x0111
WM_TIMER = 0x0113
WM_POWERBROADCAST = 0x0218
WM_WTSSESSION_CHANGE = 0x02B1
IDOK = 1

BOM = b"\xef\xbb\xbf"
START_TEXT = "StillSentinelが起動しました。"
EXIT_TEXT = "StillSentinelが終了しました。"
STATE_QUERY_FAILED_TEXT = "セッション状態の取得に失敗しました。"

LINE_RE = re.compile(r"(\d{4})/(\d{2})/(\d{2}) (\d{2}):(\d{2}):(\d{2}) - ([^\r\n]*)")


def write_settings(folder, user=USER, **values):
    """The user's INI beside the exe; keys not given keep their defaults."""
    lines = ["[StillSentinel]"] + [f"{key}={value}" for key, value in values.items()]
    (folder / f"{user}_StillSentinel.ini").write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))


def log_folder(folder, user=USER):
    return folder / f"{user}_log"


def daily_name(day):
    return f"{day.year:04d}{day.month:02d}{day.day:02d}.txt"


def stamp(moment):
    return moment.strftime("%Y/%m/%d %H:%M:%S")


class Entry:
    """One parsed log line."""

    def __init__(self, match):
        year, month, day, hour, minute, second = (int(g) for g in match.groups()[:6])
        self.time = datetime.datetime(year, month, day, hour, minute, second)
        self.text = match.group(7)

    def __repr__(self):
        return f"{stamp(self.time)} - {self.text}"


def parse_lines(text):
    """Every line of text as an Entry; fails on any line that is not a whole
    log line ending CR LF, or on anything after the last CR LF."""
    assert text.endswith("\r\n") or text == "", f"text does not end with CR LF: {text[-80:]!r}"
    entries = []
    for number, line in enumerate(text.split("\r\n")[:-1], 1):
        match = LINE_RE.fullmatch(line)
        assert match, f"line {number} is not a whole log line: {line!r}"
        entries.append(Entry(match))
    return entries


def decode(data, encoding="utf-8"):
    """data as text; a byte sequence that is not valid (a torn character) fails
    the test with its place."""
    try:
        return data.decode(encoding)
    except UnicodeDecodeError as error:
        pytest.fail(f"invalid {encoding} at byte {error.start}: {data[max(0, error.start - 60):error.end + 60]!r}")


def rebuild(entries, encoding="utf-8"):
    """The bytes that exactly these entries make, each ending CR LF."""
    return "".join(f"{entry!r}\r\n" for entry in entries).encode(encoding)


def read_daily_file(folder, user=USER):
    """(path, bytes) of the only daily file in the user's log folder."""
    files = sorted(log_folder(folder, user).iterdir())
    assert len(files) == 1, f"expected one daily file, found {[f.name for f in files]}"
    return files[0], files[0].read_bytes()


def read_utf8_log(folder, user=USER):
    """(path, entries) of the only daily file, which must begin with the mark
    and hold nothing but whole UTF-8 lines."""
    path, data = read_daily_file(folder, user)
    assert data.startswith(BOM), f"no byte-order mark: {data[:16]!r}"
    assert not data[3:].startswith(BOM), "a second byte-order mark"
    entries = parse_lines(decode(data[3:]))
    assert rebuild(entries) == data[3:]
    return path, entries


def wait_for(predicate, timeout=WAIT_SECONDS, interval=0.05, what="condition"):
    """Polls predicate until it returns something truthy; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() >= deadline:
            pytest.fail(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def lines_in(path):
    """The whole UTF-8 log lines in path so far (none while it is missing)."""
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        return []
    data = data[3:] if data.startswith(BOM) else data
    return data[: data.rfind(b"\r\n") + 2].decode("utf-8", errors="replace").split("\r\n")[:-1]


def stderr_of(app):
    # Read the file itself: the app's own handle is closed once it has exited.
    return Path(app.stderr_path).read_text(errors="replace")


def relay_returns(text, function):
    """The return values (ints) of each traced call of function."""
    needle = f":Ret  {function}() retval="
    return [int(line.split(needle, 1)[1].split()[0], 16) for line in text.splitlines() if needle in line]


def responds(wine, hwnd):
    """True when the window's thread answers a sent WM_NULL."""
    code, _, _ = wine.sstest("send", hwnd, WM_NULL, 0, 0)
    return code == 0


def post(wine, hwnd, message, wparam, lparam=0):
    code, values, _ = wine.sstest("post", hwnd, message, wparam, lparam)
    assert code == 0 and values.get("posted") == "1", f"post of {message:#x} was refused"


def start_logging(wine, folder, **settings):
    """Starts the exe in folder with the given INI values; returns (app, window)."""
    write_settings(folder, **settings)
    app = wine.start(folder)
    return app, wine.wait_window()


def wait_main_window_dismissing_boxes(wine, timeout=WAIT_SECONDS):
    """Waits for the main window; any message box the program shows first
    (class #32770, caption StillSentinel) is answered with OK. Returns
    (window, number of boxes dismissed)."""
    deadline = time.monotonic() + timeout
    dismissed = 0
    while time.monotonic() < deadline:
        code, window, _ = wine.sstest("wait", "StillSentinelClass", "*", 300)
        if code == 0:
            return window, dismissed
        code, box, _ = wine.sstest("wait", "#32770", "StillSentinel", 300)
        if code == 0:
            wine.sstest("post", box["hwnd"], WM_COMMAND, IDOK, 0)
            dismissed += 1
            wine.sstest("waitgone", box["hwnd"], 5000)
    pytest.fail(f"the main window did not appear within {timeout} s")


@contextmanager
def same_local_day():
    """Skips the test when local midnight passes while it runs: its daily file
    would then be split in two."""
    day = datetime.date.today()
    try:
        yield day
    except BaseException:
        # A failure caused by the change of day is no failure of the program.
        if datetime.date.today() != day:
            pytest.skip("local midnight passed during the test")
        raise
    if datetime.date.today() != day:
        pytest.skip("local midnight passed during the test")






class LogWatcher:
    """Follows a growing daily file and notes when each whole line was first
    seen, so that write rates can be measured from outside the writers."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.pending = b""
        self.lines = []  # (event text, monotonic time first seen)

    def poll(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                data = f.read()
        except FileNotFoundError:
            return
        now = time.monotonic()
        self.offset += len(data)
        if self.offset == len(data) and data.startswith(BOM):
            data = data[3:]
        self.pending += data
        *whole, self.pending = self.pending.split(b"\r\n")
        # Keep the event text, the part behind the time stamp.
        self.lines.extend((line.decode("utf-8", errors="replace").split(" - ", 1)[-1], now) for line in whole)

    def follow(self, done, timeout, what, interval=0.02):
        """Polls until done(lines) holds; fails after timeout."""
        deadline = time.monotonic() + timeout
        while True:
            self.poll()
            if done(self.lines):
                return
            if time.monotonic() >= deadline:
                pytest.fail(f"timed out after {timeout} s waiting for {what} ({len(self.lines)} lines seen)")
            time.sleep(interval)

    def rate(self, matches):
        """Lines per second between the first and the last line for which
        matches(text) holds, as seen from outside; None when too few."""
        times = [seen for text, seen in self.lines if matches(text)]
        if len(times) < 2 or times[-1] <= times[0]:
            return None
        return (len(times) - 1) / (times[-1] - times[0])
