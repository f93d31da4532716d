#!/usr/bin/env python3
"""Footprint benchmarks of StillSentinel.exe against a minimal baseline, under Wine.

Prints each figure beside the baseline measured in the same run, and the ratio.
It is a measurement, not a test: nothing here fails on a slow machine.
Usage: python3 bench/run_benchmarks.py [--ticks 120] [--runs 5]
"""
import argparse
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "system"))
import conftest  # noqa: E402  (the system tests' Wine harness)

BENCH = conftest.BUILD / "bench"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def cpu_seconds(pid):
    """CPU time of every thread of a process, from the scheduler's nanosecond counters."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        total += int((task / "schedstat").read_text().split()[0])
    return total / 1e9


def benchtool(wine, *args):
    result = wine.run(BENCH / "benchtool.exe", *args, timeout=300)
    values = {}
    for line in result.stdout.decode().splitlines():
        key, _, value = line.partition("=")
        values[key] = float(value)
    if result.returncode != 0 or not values:
        raise RuntimeError(f"benchtool {args} failed: {result.stderr.decode(errors='replace')[-500:]}")
    return values


STARTS = [("StillSentinel", conftest.EXE, "StillSentinelClass", ()),
          ("baseline", BENCH / "baseline.exe", "BaselineClass", ()),
          # The baseline plus the common-controls initialisation StillSentinel's start-up does.
          ("baseline+comctl", BENCH / "baseline.exe", "BaselineClass", ("commoncontrols",))]


def measure_startup(wine, runs):
    figures = {name: [] for name, _, _, _ in STARTS}
    memory = {name: [] for name, _, _, _ in STARTS}
    for i in range(runs):
        for name, exe, cls, extra in STARTS:
            folder = wine.tmp / f"start-{name}-{i}"  # a first start: no INI yet
            folder.mkdir()
            shutil.copy2(exe, folder / exe.name)
            values = benchtool(wine, "startup", windows_path(folder / exe.name), cls, *extra)
            figures[name].append(values["startup_ms"])
            memory[name].append(values["peak_private_bytes"])
    return ({k: statistics.median(v) for k, v in figures.items()},
            {k: max(v) for k, v in memory.items()})


def measure_cpu(wine, ticks):
    folder = wine.install("cpu")
    (folder / f"{wine.env['USER']}_StillSentinel.ini").write_text(
        "[StillSentinel]\r\nTimerIntervalSec=1\r\nIdleLimitSeconds=32767\r\nIdleMoveThreshold=3\r\n"
        "LogIntervalSec=0\r\n")
    shutil.copy2(BENCH / "baseline.exe", folder / "baseline.exe")
    env = dict(wine.env)
    procs = {}
    for name, exe in [("StillSentinel", "StillSentinel.exe"), ("baseline", "baseline.exe")]:
        procs[name] = subprocess.Popen([*conftest.WINE, str(folder / exe)], cwd=str(folder), env=env,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
    try:
        wine.wait_window("StillSentinelClass")
        wine.wait_window("BaselineClass")
        time.sleep(3)  # past start-up
        before = {name: cpu_seconds(p.pid) for name, p in procs.items()}
        time.sleep(ticks)
        after = {name: cpu_seconds(p.pid) for name, p in procs.items()}
    finally:
        for p in procs.values():
            p.kill()
            p.wait(timeout=30)
    return {name: after[name] - before[name] for name in procs}


def measure_log_lines(wine, count):
    folder = wine.install("log")
    shutil.copy2(BENCH / "benchtool.exe", folder / "benchtool.exe")
    result = wine.run(folder / "benchtool.exe", "loglines", str(count), timeout=600)
    values = dict(line.split("=") for line in result.stdout.decode().split())
    return {key: float(value) for key, value in values.items()}


def row(label, ours, base, unit, limit, higher_is_better=False):
    ratio = ours / base if base else float("inf")
    verdict = ("ok" if (ratio >= limit if higher_is_better else ratio <= limit) else "OVER")
    bound = f"{'>=' if higher_is_better else '<='} {limit:.2f}"
    print(f"{label:<34} {ours:>12.3f} {base:>12.3f} {unit:<8} ratio {ratio:6.3f} ({bound}: {verdict})")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ticks", type=int, default=120)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--lines", type=int, default=5000)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="stillsentinel-bench-") as tmp:
        wine = conftest.Wine(Path(tmp))
        try:
            startup, memory = measure_startup(wine, args.runs)
            log = measure_log_lines(wine, args.lines)
            cpu = measure_cpu(wine, args.ticks)
        finally:
            wine.shutdown()

    size = conftest.EXE.stat().st_size
    print(f"{'':<34} {'StillSentinel':>12} {'baseline':>12}")
    row(f"CPU over {args.ticks} ticks (s)", cpu["StillSentinel"], cpu["baseline"], "s", 1.10)
    row(f"start-up to window (median of {args.runs})", startup["StillSentinel"], startup["baseline"], "ms", 1.25)
    # Memory and log lines are judged against baselines that do the same
    # unavoidable work (the common controls at start-up; the guarded append).
    row("peak private memory", memory["StillSentinel"] / 1024, memory["baseline+comctl"] / 1024, "KiB", 1.20)
    row(f"log lines per second ({args.lines})", log["writer_lines_per_s"], log["guarded_bare_lines_per_s"],
        "lines/s", 0.80, higher_is_better=True)
    print("Against the bare baselines (not targets):")
    for label, ours, base, unit in [
            ("  memory vs bare baseline", memory["StillSentinel"] / 1024, memory["baseline"] / 1024, "KiB"),
            ("  lines vs bare loop", log["writer_lines_per_s"], log["bare_lines_per_s"], "lines/s")]:
        print(f"{label:<34} {ours:>12.3f} {base:>12.3f} {unit:<8} ratio {ours / base if base else float('inf'):6.3f}")
    print(f"{'exe size, stripped':<34} {size / 1024:>12.1f} {'':>12} KiB      (<= 320 KiB: "
          f"{'ok' if size <= 320 * 1024 else 'OVER'})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
