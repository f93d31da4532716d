"""The log report on what the real program logged under Wine: the figures of a run whose lock and sleep the
test made, the same bytes from both builds, and a day's file read while it is being written."""
import datetime
import time
from dataclasses import dataclass

import pytest

from conftest import EXIT_TEXT, START_TEXT, WM_POWERBROADCAST, WM_WTSSESSION_CHANGE, private_wine
from ini import USER
from log_support import log_folder, log_texts, read_utf8_log, same_local_day, second_writer
from report_support import (FORMATS, LOCK_TEXT, RESUME_TEXT, SUSPEND_TEXT, UNLOCK_TEXT, jsonl_rows, run_native,
                            run_windows, written)
from waits import WAIT_SECONDS, wait_until
from wineplatform import session_state_text

HEARTBEAT_INI = {"LogIntervalSec": 1}
STEP_LINES = 3  # session-state lines between two steps: each state lasts seconds, the day has its heartbeat
STEPS = [(WM_WTSSESSION_CHANGE, 7, LOCK_TEXT), (WM_WTSSESSION_CHANGE, 8, UNLOCK_TEXT),  # (message, wParam, its line)
         (WM_POWERBROADCAST, 4, SUSPEND_TEXT), (WM_POWERBROADCAST, 7, RESUME_TEXT)]
# (figure, the line that begins it, the line that ends it)
DURATIONS = [("locked_s", LOCK_TEXT, UNLOCK_TEXT), ("span_s", START_TEXT, EXIT_TEXT)]
COUNTS = {"starts": 1, "exits": 1, "locks": 1, "unlocks": 1, "suspends": 1, "resumes": 1, "bad_lines": 0}


@dataclass
class LoggedRun:
    today: datetime.date
    made: dict     # line: [no earlier than, no later than] the moment it was made, as the test saw it
    stamped: dict  # line: its time as the log stamps it
    outputs: dict  # build: {what: its bytes}, the files --out writes and each --format's standard output
    entries: list  # the log's lines
    state: str     # the session-state line on this Wine


def log_a_run(wine, folder):
    """Runs the program with a 1 s heartbeat through a lock and a sleep of a few seconds each; returns when
    each line was made, and the session-state line of this Wine."""
    state, made = session_state_text(wine), {}
    states = lambda: log_texts(folder).count(state)  # noqa: E731

    def step(act, text):
        """act(); made[text] is [no earlier than, no later than] the making of its line. Then the state lasts."""
        asked = time.time()
        result = act()
        wait_until(lambda: text in log_texts(folder), what=text)
        made[text] = [asked, time.time()]
        if text != EXIT_TEXT:
            seen = states()
            wait_until(lambda: states() >= seen + STEP_LINES, what=f"{STEP_LINES} more lines of {state}")
        return result

    app = step(lambda: wine.launch(folder=folder, ini=HEARTBEAT_INI), START_TEXT)
    for message, wparam, text in STEPS:
        step(lambda: app.post(message, wparam), text)
    assert step(app.close, EXIT_TEXT) == 0
    return made, state


@pytest.fixture(scope="module")
def logged(tmp_path_factory):
    """One logged run, and the report of it by each build, each input run once."""
    with private_wine(tmp_path_factory.mktemp("logged")) as wine:
        folder = wine.install()
        with same_local_day() as today:
            made, state = log_a_run(wine, folder)
        _, entries = read_utf8_log(folder)
        logs = log_folder(folder)
        outputs = {}
        for build, run in (("native", run_native), ("windows", lambda *a: run_windows(wine, *a))):
            out = wine.tmp / f"out-{build}"
            runs = {f"--out {out}": run("--out", out, logs)} | {fmt: run("--format", fmt, logs) for fmt in FORMATS}
            for what, result in runs.items():
                assert result.returncode == 0, f"{build} {what}: {result.stderr.decode(errors='replace')}"
            outputs[build] = {fmt: runs[fmt].stdout for fmt in FORMATS} | written(out)
    return LoggedRun(today, made, {e.text: e.time for e in entries if e.text in made}, outputs, entries, state)


def test_both_builds_report_the_same_bytes(logged):
    for name, native in logged.outputs["native"].items():
        assert native, f"{name}: empty"
        assert native == logged.outputs["windows"][name], f"{name} differs between the builds"


def test_report_gives_the_figures_of_a_logged_run(logged):
    stamped, made = logged.stamped, logged.made
    (row,) = jsonl_rows(logged.outputs["native"]["report.jsonl"])
    assert (row["user"], row["date"]) == (USER, logged.today.isoformat())
    # The day runs from the start line to the exit line, as the log stamps them.
    assert (row["first"], row["last"]) == (stamped[START_TEXT].isoformat(), stamped[EXIT_TEXT].isoformat())
    for figure, begins, ends in DURATIONS:
        # Exactly as the log's seconds show it, and within them of what the test did.
        assert row[figure] == (stamped[ends] - stamped[begins]).total_seconds(), figure
        shortest, longest = made[ends][0] - made[begins][1] - 1, made[ends][1] - made[begins][0] + 1
        assert shortest < row[figure] < longest, f"{figure}: {row[figure]} s, made {shortest:.2f}..{longest:.2f} s"
    # Wine does not sleep: the first of two session-state lines within three heartbeats ends the suspension.
    entries, state = logged.entries, logged.state
    after = entries[next(i for i, e in enumerate(entries) if e.text == SUSPEND_TEXT) + 1:]
    woke = next(e.time for e, n in zip(after, after[1:]) if e.text == n.text == state and
                (n.time - e.time).total_seconds() <= 3 * row["heartbeat_s"])
    assert stamped[SUSPEND_TEXT] <= woke < stamped[RESUME_TEXT]
    assert row["suspended_s"] == (woke - stamped[SUSPEND_TEXT]).total_seconds()
    assert row["off_s"] == 0
    assert row["active_s"] == row["span_s"] - row["locked_s"] - row["suspended_s"] > 0
    assert {key: row[key] for key in COUNTS} == COUNTS
    assert row["heartbeat_s"] == HEARTBEAT_INI["LogIntervalSec"]
    assert row["flags"] == []


WRITTEN, WRITER_TAG = 20_000, "reader-test"
# The program's own lines, known one by one: "電源イベント：<code>" for each code posted.
POWER_PREFIX, FIRST_CODE = "電源イベント：", 1000


def test_report_reading_a_day_while_it_is_written_denies_no_line(wine):
    folder = wine.install()
    with same_local_day():
        app = wine.launch(folder=folder, ini=HEARTBEAT_INI)
        wait_until(lambda: START_TEXT in log_texts(folder), what="the start line")
        # A second writer through the program's own line writer, thousands of lines fast, beside the program's
        # own lines (one per report run).
        posted, runs = [], []
        deadline = time.monotonic() + 10 * WAIT_SECONDS
        with second_writer(wine, folder, WRITTEN, WRITER_TAG) as writer:
            while writer.poll() is None:
                assert time.monotonic() < deadline, "the writer did not finish"
                posted.append(FIRST_CODE + len(posted))
                app.post(WM_POWERBROADCAST, posted[-1])
                result = run_windows(wine, "--format", "jsonl", log_folder(folder))
                runs.append((result.returncode, result.stderr))
            writer.communicate(timeout=WAIT_SECONDS)
        assert writer.returncode == 0
        assert app.close() == 0

    # Every run but the last fell within the writing (the writer was seen running after each).
    assert len(runs) >= 4, f"only {len(runs)} report runs while the writer wrote"
    # read_utf8_log fails on any torn or stray bytes; then every line of both writers is there, in its order.
    _, entries = read_utf8_log(folder)
    texts = [e.text for e in entries]
    written = [t for t in texts if t.startswith(WRITER_TAG + " ")]
    assert written == [f"{WRITER_TAG} {n:06d}" for n in range(1, WRITTEN + 1)], f"{WRITTEN - len(written)} lines lost"
    assert [t for t in texts if t.startswith(POWER_PREFIX)] == [f"{POWER_PREFIX}{code}" for code in posted]
    assert texts[0] == START_TEXT and texts[-1] == EXIT_TEXT
    # And the report could read the file each time.
    assert [code for code, _ in runs] == [0] * len(runs), [err.decode(errors="replace") for code, err in runs if code]
