"""The log report's test pieces: where its two builds are, how each is run, and
log collections written from tables of lines."""
import datetime
import json
import os
import subprocess
from pathlib import Path

from conftest import BUILD, EXIT_TEXT, ROOT, START_TEXT, windows_path
from waits import WAIT_SECONDS

LOCK_TEXT = "ワークステーションがロックされました。"
UNLOCK_TEXT = "ワークステーションのロックが解除されました。"
SUSPEND_TEXT = "システムがサスペンド状態に入りました。"
RESUME_TEXT = "システムがサスペンドから復帰しました。"
STATE_TEXT = "セッション状態: アクティブ"

OUT_FILES = ("report.csv", "report.jsonl", "report.html")
FORMATS = ("csv", "jsonl", "html")
# The figures that make a day's span, as JSON keys and as the page's attributes.
STATES = ("active", "locked", "suspended", "off")


def _first_file(*candidates):
    return next((Path(c) for c in candidates if c and Path(c).is_file()), Path(candidates[-1]))


# The native build (build-report/, beside the Windows build's tree) and the
# Windows build; STILLSENTINEL_REPORT and STILLSENTINEL_REPORT_EXE name others.
NATIVE = _first_file(os.environ.get("STILLSENTINEL_REPORT"), ROOT / "build-report" / "stillsentinel-report")
WINDOWS_EXE = _first_file(os.environ.get("STILLSENTINEL_REPORT_EXE"), BUILD / "StillSentinelReport.exe")


def run_native(*args, cwd=None, timeout=WAIT_SECONDS * 4):
    """The native report with these arguments; returns the finished process (bytes out and err)."""
    return subprocess.run([str(NATIVE), *map(str, args)], cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)


def run_windows(wine, *args, timeout=WAIT_SECONDS * 4):
    """StillSentinelReport.exe in the test's prefix; Path arguments are given as Wine names them (Z:\\...)."""
    return wine.run(WINDOWS_EXE, *(windows_path(a) if isinstance(a, Path) else a for a in args), timeout=timeout)


def jsonl_rows(data):
    return [json.loads(line) for line in data.decode("utf-8").splitlines() if line.strip()]


def clock(text):
    return datetime.time.fromisoformat(text)


def day_seconds(iso_instant, date):
    """Seconds from the start of date (midnight) to a JSON 'first'/'last' instant, which may be the next day."""
    moment = datetime.datetime.fromisoformat(iso_instant)
    return int((moment - datetime.datetime.combine(date, datetime.time())).total_seconds())


def beats(start, end, every):
    """Session-state lines every `every` seconds after start, up to but not including end."""
    t, step, lines = start + datetime.timedelta(seconds=every), datetime.timedelta(seconds=every), []
    while t < end:
        lines.append((t, STATE_TEXT))
        t += step
    return lines


def write_source(log_dir, lines):
    """(datetime, text) lines as daily files in log_dir, as the program writes
    them: one file per date, a byte-order mark, each line ending CR LF, in time order."""
    log_dir.mkdir(parents=True, exist_ok=True)
    days = {}
    for moment, text in sorted(lines, key=lambda line: line[0]):
        days.setdefault(moment.date(), []).append(f"{moment:%Y/%m/%d %H:%M:%S} - {text}\r\n")
    for day, texts in days.items():
        (log_dir / f"{day:%Y%m%d}.txt").write_bytes(b"\xef\xbb\xbf" + "".join(texts).encode("utf-8"))
    return sorted(days)


def run_lines(day, start, end, every, events=(), asleep=(), end_text=EXIT_TEXT):
    """One run of the program from start to end ("HH:MM:SS" on day, or a
    datetime): its start line, the events [(time, text)], session-state lines
    every `every` seconds except within asleep ((from, to) pairs), and end_text
    as the last line (a session-state text for a run that dies without a word)."""
    at = lambda t: t if isinstance(t, datetime.datetime) else datetime.datetime.combine(day, clock(t))  # noqa: E731
    quiet = [(at(a), at(b)) for a, b in asleep]
    lines = [(at(start), START_TEXT)] + [(at(t), text) for t, text in events]
    lines += [line for line in beats(at(start), at(end), every) if not any(a <= line[0] <= b for a, b in quiet)]
    return lines + [(at(end), end_text)]
