#!/usr/bin/env python3
"""The native log report on a synthetic year and month, beside `wc -l` on the same files.

The year: 20 sources (PC01/user01_log ... PC20/user20_log), the weekdays of
2025 (261 days), each an office day at a 10 s heartbeat: a start at about
nine, a lunch lock of an hour, a ten-minute sleep, the exit at about six
(about 3,200 lines, 200 KB a day; 17 million lines, 1 GB in all). It is
written once into DATA (kept for later runs), with a second collection of
the first half of the days as hard links, to show that memory does not grow
with the number of days.

The month: 1,000 sources over the first 30 weekdays of the year (30,000 files,
5.5 GiB), each file a hard link to the same date's file of one of the year's
sources, written once into MONTH_DATA: the rows of many sources at once.

Each command runs --runs times in turn, warm cache; the median wall time and
the largest peak resident memory are printed, with the ratio to `wc -l`.
With every output: `--out` with `--attendance`, a clocked start and end
for each user and weekday (CP932, as Excel saves it), a few minutes around
the office day's own, now and then more than half an hour off. The page's
size is printed for each `--out`.
A measurement, not a test: nothing here fails on a slow machine.
Usage: python3 bench/report_bench.py [--data /var/tmp/stillsentinel-report-year]
       [--month-data /var/tmp/stillsentinel-report-month] [--runs 5] [--sources 20] [--month-sources 1000]
"""
import argparse
import datetime
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "system"))
from conftest import EXIT_TEXT, START_TEXT  # noqa: E402
from report_support import LOCK_TEXT, NATIVE, RESUME_TEXT, STATE_TEXT, SUSPEND_TEXT, UNLOCK_TEXT  # noqa: E402

YEAR = 2025
TEMPLATE_DATE = b"2025/01/01"
READY = "{} sources, the weekdays of 2025, a 10 s heartbeat"
MONTH_READY = "{} sources, the first 30 weekdays of 2025, links into {}"
MONTH_DAYS = 30


def office_day(first_minute):
    """One day's bytes (dated TEMPLATE_DATE), the start first_minute minutes after 08:30."""
    texts = {"start": START_TEXT, "exit": EXIT_TEXT, "lock": LOCK_TEXT, "unlock": UNLOCK_TEXT,
             "suspend": SUSPEND_TEXT, "resume": RESUME_TEXT, "beat": STATE_TEXT}
    start = 8 * 3600 + 1800 + first_minute * 60
    end = start + 9 * 3600
    events = {start: "start", 12 * 3600 + 5: "lock", 13 * 3600 + 5: "unlock",
              15 * 3600 + 5: "suspend", 15 * 3600 + 605: "resume", end: "exit"}
    asleep = range(15 * 3600 + 5, 15 * 3600 + 606)
    lines = [(t, name) for t, name in events.items()]
    lines += [(t, "beat") for t in range(start + 10, end, 10) if t not in asleep]
    stamp = TEMPLATE_DATE.decode()
    return "".join(f"{stamp} {t // 3600:02d}:{t // 60 % 60:02d}:{t % 60:02d} - {texts[name]}\r\n"
                   for t, name in sorted(lines)).encode("utf-8")


def weekdays():
    day, days = datetime.date(YEAR, 1, 1), []
    while day.year == YEAR:
        if day.weekday() < 5:
            days.append(day)
        day += datetime.timedelta(days=1)
    return days


def make_year(data, sources):
    """DATA/full (the year) and DATA/half (its first half of days, hard links), once."""
    ready = READY.format(sources)
    if (data / "ready").is_file() and (data / "ready").read_text() == ready:
        return
    shutil.rmtree(data, ignore_errors=True)
    days = weekdays()
    began = time.monotonic()
    for n in range(1, sources + 1):
        log = data / "full" / f"PC{n:02d}" / f"user{n:02d}_log"
        half = data / "half" / f"PC{n:02d}" / f"user{n:02d}_log"
        log.mkdir(parents=True)
        half.mkdir(parents=True)
        template = b"\xef\xbb\xbf" + office_day(n)
        for i, day in enumerate(days):
            name = f"{day:%Y%m%d}.txt"
            (log / name).write_bytes(template.replace(TEMPLATE_DATE, f"{day:%Y/%m/%d}".encode()))
            if i < len(days) // 2:
                os.link(log / name, half / name)
    (data / "ready").write_text(ready)
    print(f"wrote the year in {time.monotonic() - began:.0f} s")


def clocked(seconds):
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}"


def write_attendance(path, sources, days):
    """The clocked times of each user's office days, in CP932 with Excel's CR LF."""
    rng = random.Random(7)
    rows = ["ユーザー,日付,出勤,退勤,備考"]
    for n in range(1, sources + 1):
        start = 8 * 3600 + 1800 + n * 60  # as office_day(n)
        for day in days:
            early = rng.choice((0, 0, 0, 35)) * 60  # a day now and then far from the PC's
            clock_in = start + rng.randint(-10, 15) * 60 + early
            clock_out = start + 9 * 3600 + rng.randint(-15, 10) * 60 - early
            rows.append(f"user{n:02d},{day.year}/{day.month}/{day.day},{clocked(clock_in)},{clocked(clock_out)},")
    path.write_bytes("\r\n".join(rows + [""]).encode("cp932"))


def make_month(month, data, sources, year_sources):
    """MONTH/PCnnnn/usernnnn_log: the first weekdays of the year, hard links to the year's files, once."""
    ready = MONTH_READY.format(sources, data)
    if (month / "ready").is_file() and (month / "ready").read_text() == ready:
        return
    shutil.rmtree(month, ignore_errors=True)
    began = time.monotonic()
    for n in range(1, sources + 1):
        year = (n - 1) % year_sources + 1
        source = data / "full" / f"PC{year:02d}" / f"user{year:02d}_log"
        log = month / f"PC{n:04d}" / f"user{n:04d}_log"
        log.mkdir(parents=True)
        for day in weekdays()[:MONTH_DAYS]:
            os.link(source / f"{day:%Y%m%d}.txt", log / f"{day:%Y%m%d}.txt")
    (month / "ready").write_text(ready)
    print(f"linked the month in {time.monotonic() - began:.0f} s")


def measure(command, cwd=None):
    """(wall seconds, CPU seconds, peak resident KiB) of one run. Peak memory
    comes from /usr/bin/time, a small parent: a child forked from Python would
    report Python's own size when that is larger."""
    with tempfile.NamedTemporaryFile("r") as usage:
        began = time.perf_counter()
        proc = subprocess.run(["/usr/bin/time", "-o", usage.name, "-f", "%U %S %M", *command], cwd=cwd,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wall = time.perf_counter() - began
        if proc.returncode != 0:
            raise RuntimeError(f"{command[:3]} exited {proc.returncode}: {proc.stderr[-500:]!r}")
        user, system, peak = usage.read().split()[-3:]
    return wall, float(user) + float(system), int(peak)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", type=Path, default=Path("/var/tmp/stillsentinel-report-year"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sources", type=int, default=20)
    parser.add_argument("--month-data", type=Path, default=Path("/var/tmp/stillsentinel-report-month"))
    parser.add_argument("--month-sources", type=int, default=1000)
    args = parser.parse_args()
    if not NATIVE.is_file():
        sys.exit(f"build the native report first ({NATIVE} is missing)")
    make_year(args.data, args.sources)
    make_month(args.month_data, args.data, args.month_sources, args.sources)

    results = {}
    with tempfile.TemporaryDirectory(prefix="report-bench-") as temp:
        out, clocked_out, attendance = (Path(temp) / name for name in ("out", "attended", "attendance.csv"))
        for part, root in (("full", args.data / "full"), ("half", args.data / "half"), ("month", args.month_data)):
            files = sorted(str(p.relative_to(root)) for p in root.glob("*/*_log/*.txt"))
            size = sum((root / f).stat().st_size for f in files)
            commands = {
                "wc -l": (["wc", "-l", *files], root),
                "report --out DIR": ([str(NATIVE), "--out", str(out), str(root)], None),
                "report --format jsonl": ([str(NATIVE), "--format", "jsonl", str(root)], None),
            }
            pages = {"report --out DIR": out}
            if part != "month":  # the year's users, on the days of the part
                write_attendance(attendance, args.sources, weekdays()[:len(files) // args.sources])
                commands["report --out --attendance"] = (
                    [str(NATIVE), "--out", str(clocked_out), "--attendance", str(attendance), str(root)], None)
                pages["report --out --attendance"] = clocked_out
            runs = {name: [] for name in commands}
            for _ in range(args.runs + 1):  # the first round warms the cache and is dropped
                for name, (command, cwd) in commands.items():
                    runs[name].append(measure(command, cwd=cwd))
            lines = int(subprocess.run(["wc", "-l", *files], cwd=root, capture_output=True, check=True)
                        .stdout.split()[-2])
            print(f"\n{part}: {len(files)} files, {lines:,} lines, {size / 2**20:,.0f} MiB")
            for name, values in runs.items():
                values = values[1:]
                wall = statistics.median(v[0] for v in values)
                cpu = statistics.median(v[1] for v in values)
                peak = max(v[2] for v in values)
                results[(part, name)] = (wall, peak)
                ratio = wall / results[(part, "wc -l")][0]
                page = f"  page {(pages[name] / 'report.html').stat().st_size / 1e6:5.1f} MB" if name in pages else ""
                print(f"  {name:26} {wall:7.2f} s wall  {cpu:7.2f} s CPU  {peak / 1024:7.1f} MiB peak  "
                      f"{ratio:5.2f} x wc -l{page}")
    print("\npeak memory, half the days against all:")
    for name in ("report --out DIR", "report --format jsonl", "report --out --attendance"):
        print(f"  {name:26} {results[('half', name)][1] / 1024:.1f} against {results[('full', name)][1] / 1024:.1f} MiB")


if __name__ == "__main__":
    main()
