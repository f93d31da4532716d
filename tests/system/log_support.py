"""The event-log tests' shared pieces: reading, checking and following daily files."""
import datetime
import re
import shutil
import subprocess
import time
from contextlib import contextmanager

import pytest

from conftest import BUILD, WM_NULL
from ini import USER
from waits import wait_until
from wineplatform import WINE

LOGWRITER = BUILD / "tests" / "helpers" / "logwriter" / "logwriter.exe"
BOM = b"\xef\xbb\xbf"
LINE_RE = re.compile(r"(\d{4})/(\d{2})/(\d{2}) (\d{2}):(\d{2}):(\d{2}) - ([^\r\n]*)")


@contextmanager
def second_writer(wine, folder, *args):
    """The log writer helper, started from the install folder with args: this user's instance
    elsewhere, appending through the program's own line writer. Killed if still running at the end."""
    shutil.copy2(LOGWRITER, folder / LOGWRITER.name)
    writer = subprocess.Popen([*WINE, str(folder / LOGWRITER.name), *map(str, args)], cwd=str(folder),
                              env={**wine.env, "WINEDEBUG": "-all"}, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        yield writer
    finally:
        if writer.poll() is None:
            writer.kill()
            writer.wait(timeout=10)


def log_folder(folder, user=USER):
    return folder / f"{user}_log"


def daily_name(day):
    return f"{day.year:04d}{day.month:02d}{day.day:02d}.txt"


class Entry:
    """One parsed log line."""

    def __init__(self, match):
        self.time = datetime.datetime(*(int(g) for g in match.groups()[:6]))
        self.text = match.group(7)

    def __repr__(self):
        return f"{self.time:%Y/%m/%d %H:%M:%S} - {self.text}"


def parse_lines(text):
    """Every line of text as an Entry; fails on any line that is not a whole
    log line ending CR LF, or on anything after the last CR LF."""
    assert text.endswith("\r\n") or text == "", f"text does not end with CR LF: {text[-80:]!r}"
    lines = text.split("\r\n")[:-1]
    for number, line in enumerate(lines, 1):
        assert LINE_RE.fullmatch(line), f"line {number} is not a whole log line: {line!r}"
    return [Entry(LINE_RE.fullmatch(line)) for line in lines]


def decode(data, encoding="utf-8"):
    """data as text; an invalid byte sequence (a torn character) fails the test with its place."""
    try:
        return data.decode(encoding)
    except UnicodeDecodeError as error:
        pytest.fail(f"invalid {encoding} at byte {error.start}: {data[max(0, error.start - 60):error.end + 60]!r}")


def rebuild(entries, encoding="utf-8"):
    """The bytes that exactly these entries make, each ending CR LF."""
    return "".join(f"{entry!r}\r\n" for entry in entries).encode(encoding)


def read_utf8_log(folder, user=USER):
    """(path, entries) of the only daily file in the user's log folder, which
    must begin with the mark and hold nothing but whole UTF-8 lines."""
    files = sorted(log_folder(folder, user).iterdir())
    assert len(files) == 1, f"expected one daily file, found {[f.name for f in files]}"
    path, data = files[0], files[0].read_bytes()
    assert data.startswith(BOM), f"no byte-order mark: {data[:16]!r}"
    assert not data[3:].startswith(BOM), "a second byte-order mark"
    entries = parse_lines(decode(data[3:]))
    assert rebuild(entries) == data[3:]
    return path, entries


@contextmanager
def same_local_day():
    """Skips the test when local midnight passes while it runs: its daily file
    would then be split in two."""
    day = datetime.date.today()
    try:
        yield day
    finally:
        # Also a failure caused by the change of day is no failure of the program.
        if datetime.date.today() != day:
            pytest.skip("local midnight passed during the test")


def returns(app, function):
    """The return values of each traced call of function that has returned."""
    return [e.retval for e in app.trace().select((function,), kinds=("Ret",))]


def responds(app):
    """True when the window's thread answers a sent WM_NULL."""
    return app.wine.sstest("send", f"{app.window():x}", WM_NULL, 0, 0)[0] == 0


class LogWatcher:
    """Follows a growing daily file and notes when each whole line was first
    seen, so that write rates can be measured from outside the writers."""

    def __init__(self, path):
        self.path, self.offset, self.pending = path, 0, b""
        self.lines = []  # (event text, monotonic time first seen)

    def poll(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                data = f.read()
        except FileNotFoundError:
            return
        now, first = time.monotonic(), self.offset == 0
        self.offset += len(data)
        *whole, self.pending = (self.pending + (data[3:] if first and data.startswith(BOM) else data)).split(b"\r\n")
        # Keep the event text, the part behind the time stamp.
        self.lines.extend((line.decode("utf-8", errors="replace").split(" - ", 1)[-1], now) for line in whole)

    def follow(self, done, timeout, what):
        """Polls until done(lines) holds; fails after timeout."""
        wait_until(lambda: self.poll() or done(self.lines), timeout, 0.02, what)

    def rate(self, matches):
        """Lines per second between the first and the last line for which
        matches(text) holds, as seen from outside; None when too few."""
        times = [seen for text, seen in self.lines if matches(text)]
        return (len(times) - 1) / (times[-1] - times[0]) if len(times) > 1 and times[-1] > times[0] else None


def log_texts(folder, user=USER):
    """The event texts of the whole lines so far of every daily file beside the exe in folder, day by day."""
    texts = []
    for path in sorted(log_folder(folder, user).glob("*.txt")):
        watcher = LogWatcher(path)
        watcher.poll()
        texts += [text for text, _ in watcher.lines]
    return texts
