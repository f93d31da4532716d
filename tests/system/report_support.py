"""The log report's test pieces: its two builds, how each is run, and log collections written as the
program writes them."""
import datetime
import itertools
import json
import os
import subprocess
from pathlib import Path

from conftest import EXIT_TEXT, REPORT_EXE, ROOT, START_TEXT, windows_path
from ini import USER
from log_support import BOM, daily_name
from waits import WAIT_SECONDS
from wineplatform import SESSION_STATE_LABELS

LOCK_TEXT = "ワークステーションがロックされました。"
UNLOCK_TEXT = "ワークステーションのロックが解除されました。"
SUSPEND_TEXT = "システムがサスペンド状態に入りました。"
RESUME_TEXT = "システムがサスペンドから復帰しました。"
STATE_TEXT = "セッション状態: " + SESSION_STATE_LABELS[0]

FORMATS = ("csv", "jsonl", "html", "monthly-csv", "monthly-jsonl")
# What --out writes: a file for each format.
FILES = tuple(fmt.replace("monthly-", "monthly.") if "-" in fmt else f"report.{fmt}" for fmt in FORMATS)

NATIVE = Path(os.environ.get("STILLSENTINEL_REPORT", ROOT / "build-report" / "stillsentinel-report"))
WINDOWS_EXE = Path(os.environ.get("STILLSENTINEL_REPORT_EXE", REPORT_EXE))


def run_native(*args):
    """The native report with these arguments; returns the finished process (bytes out and err)."""
    return subprocess.run([str(NATIVE), *map(str, args)], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=WAIT_SECONDS * 4)


def run_windows(wine, *args):
    """StillSentinelReport.exe in the test's prefix; Path arguments are given as Wine names them (Z:\\...)."""
    return wine.run(WINDOWS_EXE, *(windows_path(a) if isinstance(a, Path) else a for a in args),
                    timeout=WAIT_SECONDS * 4)


def jsonl_rows(data):
    return [json.loads(line) for line in data.decode("utf-8").splitlines() if line.strip()]


def report_rows(out, *args):
    """Runs the native report with --out out and these arguments; returns its JSON rows."""
    result = run_native("--out", out, *args)
    assert result.returncode == 0, result.stderr.decode(errors="replace")
    return jsonl_rows((out / "report.jsonl").read_bytes())


def written(out):
    """{file name: bytes} of what --out wrote into out."""
    return {name: (out / name).read_bytes() for name in FILES}


def run_lines(day, start, end, every, events=(), asleep=(), end_text=EXIT_TEXT):
    """One run of the program from start to end ("HH:MM:SS" on day, or a datetime): its start line, the
    events [(time, text)], session-state lines every `every` seconds except within asleep ((from, to) pairs),
    and end_text last (a session-state text for a run that dies without a word)."""
    at = lambda t: t if isinstance(t, datetime.datetime) else datetime.datetime.combine(  # noqa: E731
        day, datetime.time.fromisoformat(t))
    quiet, step = [(at(a), at(b)) for a, b in asleep], datetime.timedelta(seconds=every)
    beats = itertools.takewhile(lambda t: t < at(end), (at(start) + step * n for n in itertools.count(1)))
    return [(at(start), START_TEXT), *((at(t), text) for t, text in events),
            *((t, STATE_TEXT) for t in beats if not any(a <= t <= b for a, b in quiet)), (at(end), end_text)]


def write_collection(root, collection):
    """{log folder: [(datetime, text)]} as files under root: one per date, a byte-order mark, CR LF."""
    for folder, lines in collection.items():
        (root / folder).mkdir(parents=True, exist_ok=True)
        in_order = sorted(lines, key=lambda line: line[0])  # by time alone: lines of one second keep their order
        for day, group in itertools.groupby(in_order, key=lambda line: line[0].date()):
            text = "".join(f"{moment:%Y/%m/%d %H:%M:%S} - {line}\r\n" for moment, line in group)
            (root / folder / daily_name(day)).write_bytes(BOM + text.encode())


def make_collection(root, user=USER):
    """A small collection, root/PC001/<user>_log: two days, locked all night between them (read with
    --gap 86400); returns the log folder."""
    at = lambda day, hour: datetime.datetime(2026, 12, day, hour)  # noqa: E731
    logs = f"PC001/{user}_log"
    write_collection(root, {logs: [(at(7, 9), START_TEXT), (at(7, 10), LOCK_TEXT), (at(8, 8), UNLOCK_TEXT),
                                   (at(8, 9), EXIT_TEXT)]})
    return root / logs
