"""The log report on what the real program logged under Wine: the figures of a
run whose lock and sleep the test made itself (a sleep that did not happen, as
the session-state lines go on), the same bytes from the native and the Windows
build, a day's file read while it is being written, and the Windows build started
as Explorer starts it."""
import os
import re
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from conftest import (EXIT_TEXT, ROOT, START_TEXT, WM_POWERBROADCAST, WM_WTSSESSION_CHANGE, read_records,
                      windows_path)
from ini import USER
from log_support import (BOM, daily_name, lines_in, log_folder, read_utf8_log, same_local_day,
                         second_writer)
from report_support import (LOCK_TEXT, NATIVE, RESUME_TEXT, SUSPEND_TEXT, UNLOCK_TEXT, WINDOWS_EXE, jsonl_rows,
                            run_native,
                            run_windows)
from waits import WAIT_SECONDS, stays, wait_until
from wineplatform import WINE, session_state_text

HEARTBEAT_INI = {"LogIntervalSec": 1}
# Session-state lines to wait for between two steps, so that each state lasts
# a few measurable seconds (and the day holds the ten lines that give its
# heartbeat).
STEP_LINES = 3
STEPS = [(WM_WTSSESSION_CHANGE, 7, LOCK_TEXT), (WM_WTSSESSION_CHANGE, 8, UNLOCK_TEXT),  # (message, wParam, its line)
         (WM_POWERBROADCAST, 4, SUSPEND_TEXT), (WM_POWERBROADCAST, 7, RESUME_TEXT)]
# (figure, the line that begins it, the line that ends it)
DURATIONS = [("locked_s", LOCK_TEXT, UNLOCK_TEXT), ("span_s", START_TEXT, EXIT_TEXT)]
FORMATS = ("csv", "jsonl", "html", "monthly-csv", "monthly-jsonl")
FILE_OF = {fmt: fmt.replace("monthly-", "monthly.") if "-" in fmt else f"report.{fmt}" for fmt in FORMATS}
FILES = tuple(FILE_OF.values())  # what --out writes
COUNTS = {"starts": 1, "exits": 1, "locks": 1, "unlocks": 1, "suspends": 1, "resumes": 1, "bad_lines": 0}


def test_report_gives_the_figures_of_a_logged_run_and_both_builds_the_same_bytes(wine):
    folder = wine.install()
    state = session_state_text(wine)
    with same_local_day() as today:
        daily = log_folder(folder) / daily_name(today)
        states = lambda: lines_in(daily).count(state)  # noqa: E731

        def settle():
            seen = states()
            wait_until(lambda: states() >= seen + STEP_LINES, what=f"{STEP_LINES} more lines of {state}")

        # When each line was made, as the test saw it: no earlier than the
        # moment it asked, no later than the line was seen.
        made = {START_TEXT: [time.time()]}
        app = wine.launch(folder=folder, ini=HEARTBEAT_INI)
        wait_until(lambda: START_TEXT in lines_in(daily), what="the start line")
        made[START_TEXT].append(time.time())
        settle()
        for message, wparam, text in STEPS:
            made[text] = [time.time()]
            app.post(message, wparam)
            wait_until(lambda: text in lines_in(daily), what=text)
            made[text].append(time.time())
            settle()
        made[EXIT_TEXT] = [time.time()]
        assert app.close() == 0
        made[EXIT_TEXT].append(time.time())

    _, entries = read_utf8_log(folder)
    stamped = {e.text: e.time for e in entries if e.text in made}
    logs = log_folder(folder)

    outputs = {}  # build: {what: its bytes}, the files --out writes and each --format's standard output
    for build, run in (("native", run_native), ("windows", lambda *a: run_windows(wine, *a))):
        out = wine.tmp / f"out-{build}"
        runs = {f"--out {out}": run("--out", out, logs)} | {fmt: run("--format", fmt, logs) for fmt in FORMATS}
        for what, result in runs.items():
            assert result.returncode == 0, f"{build} {what}: {result.stderr.decode(errors='replace')}"
        outputs[build] = {fmt: runs[fmt].stdout for fmt in FORMATS} | {
            name: (out / name).read_bytes() for name in FILES}
    for name, native in outputs["native"].items():
        assert native, f"{name}: empty"
        assert native == outputs["windows"][name], f"{name} differs between the builds"

    (row,) = jsonl_rows(outputs["native"]["report.jsonl"])
    assert (row["user"], row["date"]) == (USER, today.isoformat())
    # The day runs from the start line to the exit line, as the log stamps them.
    assert (row["first"], row["last"]) == (stamped[START_TEXT].isoformat(), stamped[EXIT_TEXT].isoformat())
    for figure, begins, ends in DURATIONS:
        # Exactly as the log's seconds show it...
        assert row[figure] == (stamped[ends] - stamped[begins]).total_seconds(), figure
        # ...and within the log's resolution of what the test did: each line
        # was stamped (seconds cut) between asking and seeing it.
        shortest, longest = made[ends][0] - made[begins][1] - 1, made[ends][1] - made[begins][0] + 1
        assert shortest < row[figure] < longest, f"{figure}: {row[figure]} s, made {shortest:.2f}..{longest:.2f} s"
    # Wine does not sleep: the program goes on writing its session-state lines, and
    # the first of two within the gap limit (three heartbeats) ends the suspension.
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
    with same_local_day() as today:
        app = wine.launch(folder=folder, ini=HEARTBEAT_INI)
        daily = log_folder(folder) / daily_name(today)
        wait_until(lambda: START_TEXT in lines_in(daily), what="the start line")
        # A second writer through the program's own line writer, thousands of
        # lines fast, beside the program's own lines (one per report run).
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

    # Every run but the last began and ended while the writer was still going
    # (it was seen running after each): the reads fell within the writing.
    assert len(runs) >= 4, f"only {len(runs)} report runs while the writer wrote"
    # read_utf8_log fails on any torn or stray bytes; then every line of both
    # writers is there, in its own order.
    _, entries = read_utf8_log(folder)
    texts = [e.text for e in entries]
    written = [t for t in texts if t.startswith(WRITER_TAG + " ")]
    assert written == [f"{WRITER_TAG} {n:06d}" for n in range(1, WRITTEN + 1)], f"{WRITTEN - len(written)} lines lost"
    assert [t for t in texts if t.startswith(POWER_PREFIX)] == [f"{POWER_PREFIX}{code}" for code in posted]
    assert texts[0] == START_TEXT and texts[-1] == EXIT_TEXT
    # And the report could read the file each time.
    assert [code for code, _ in runs] == [0] * len(runs), [err.decode(errors="replace") for code, err in runs if code]


def make_collection(root, user=USER):
    """A small collection, root/PC001/<user>_log: two days, locked all night between them (read with --gap 86400)."""
    logs = root / "PC001" / f"{user}_log"
    logs.mkdir(parents=True)
    (logs / "20261207.txt").write_bytes(BOM + f"2026/12/07 09:00:00 - {START_TEXT}\r\n"
                                        f"2026/12/07 10:00:00 - {LOCK_TEXT}\r\n".encode())
    (logs / "20261208.txt").write_bytes(BOM + f"2026/12/08 08:00:00 - {UNLOCK_TEXT}\r\n"
                                        f"2026/12/08 09:00:00 - {EXIT_TEXT}\r\n".encode())
    return logs


def test_report_script_builds_afresh_and_reports_as_the_native_build(tmp_path):
    """The README's third command, from nothing built, on a small collection."""
    make_collection(tmp_path / "collected")
    env = {**os.environ, "STILLSENTINEL_REPORT_BUILD": str(tmp_path / "build")}
    script = subprocess.run(["bash", str(ROOT / "scripts" / "report.sh"), "--format", "jsonl", "--gap", "86400",
                             tmp_path / "collected"], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=30 * WAIT_SECONDS)
    assert script.returncode == 0, script.stderr.decode(errors="replace")
    assert script.stdout == run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected").stdout
    # A path that cannot be read: the rest is still reported, the path named, exit 1; a usage error: 2.
    missing = run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected", tmp_path / "missing")
    assert (missing.returncode, missing.stdout) == (1, script.stdout)
    assert str(tmp_path / "missing") in missing.stderr.decode()
    assert run_native("--format", "jsonl", "--gap", "soon", tmp_path / "collected").returncode == 2
    # Locked all night, across the two files: the second day begins at the unlock.
    assert [(r["source"], r["date"], r["first"], r["locked_s"]) for r in jsonl_rows(script.stdout)] == [
        (f"PC001/{USER}_log", "2026-12-07", "2026-12-07T09:00:00", 0),
        (f"PC001/{USER}_log", "2026-12-08", "2026-12-08T08:00:00", 0)]


# Named like daily files, none of them one: (what, made at the name, the words that name it).
NOT_A_FILE, TOO_LARGE = "not a file", "larger than 64 MiB"
TRAPS = [
    ("a pipe", os.mkfifo, NOT_A_FILE),
    ("a link to a pipe", lambda path: os.mkfifo(path.with_suffix(".p")) or path.symlink_to(path.with_suffix(".p")),
     NOT_A_FILE),
    ("a link to /dev/zero", lambda path: path.symlink_to("/dev/zero"), NOT_A_FILE),
    ("a folder", Path.mkdir, NOT_A_FILE),
    ("a broken link", lambda path: path.symlink_to(path.with_name("gone")), NOT_A_FILE),
    ("a file past 64 MiB", lambda path: path.touch() or os.truncate(path, 64 * 2**20 + 1), TOO_LARGE),
]


def test_report_names_and_skips_what_is_not_a_daily_file_and_reports_the_rest(tmp_path):
    make_collection(tmp_path / "collected")
    clean = run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected")
    assert clean.returncode == 0 and clean.stdout
    traps = tmp_path / "collected" / "PC002" / "traps_log"
    traps.mkdir(parents=True)
    paths = [traps / f"202612{n:02d}.txt" for n in range(1, len(TRAPS) + 1)]
    for path, (_, make, _) in zip(paths, TRAPS):
        make(path)
    # Opening a pipe or reading /dev/zero would never end: the run's time limit ends the test then.
    result = run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected")
    assert (result.returncode, result.stdout) == (1, clean.stdout)
    lines = result.stderr.decode().splitlines()
    assert len(lines) == len(TRAPS), lines
    for path, (what, _, words) in zip(paths, TRAPS):
        assert [line.startswith(f"{path}: {words}") for line in lines if line.startswith(f"{path}:")] == [True], what


@pytest.mark.parametrize("out, code, words, written", [
    ("collected", 0, "", FILES),  # the collection's root: beside the PCs' folders, not among the logs
    (f"collected/PC001/{USER}_log", 2, "a log folder being read", ()),
    (f"collected/PC001/{USER}_log/new", 2, "a log folder being read", ()),
    # the others are still written
    ("taken", 1, "report.csv: is a folder", ("report.html", "report.jsonl", "monthly.csv", "monthly.jsonl")),
])
def test_report_out_is_never_among_the_logs_and_names_a_folder_in_its_way(tmp_path, out, code, words, written):
    make_collection(tmp_path / "collected")
    (tmp_path / "taken" / "report.csv").mkdir(parents=True)
    result = run_native("--out", tmp_path / out, "--gap", "86400", tmp_path / "collected")
    assert result.returncode == code, result.stderr.decode()
    assert words in result.stderr.decode()
    # Nothing else written anywhere, and no temporary left behind.
    made = sorted(str(p.relative_to(tmp_path)) for p in tmp_path.rglob("*")
                  if p.name.startswith(("report", "monthly")) and not p.is_dir())
    assert made == sorted(str(Path(out, name)) for name in written)


ROUNDS = 20


def test_two_reports_on_one_out_each_put_whole_files_of_their_own(tmp_path):
    roots = [tmp_path / user for user in (USER, "suzuki")]
    for root in roots:
        make_collection(root, root.name)
    # Each run's own files, as it writes them alone (the page links to the CSV files beside it).
    own = []
    for root in roots:
        alone = tmp_path / f"alone-{root.name}"
        assert run_native("--out", alone, "--gap", "86400", root).returncode == 0
        own.append({name: (alone / name).read_bytes() for name in FILES})
    assert own[0] != own[1]
    out = tmp_path / "out"
    for _ in range(ROUNDS):
        runs = [subprocess.Popen([str(NATIVE), "--out", str(out), "--gap", "86400", str(root)],
                                 stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                for root in roots]
        results = [(run.wait(timeout=WAIT_SECONDS), run.stderr.read().decode()) for run in runs]
        assert results == [(0, ""), (0, "")]
        for name in FILES:
            assert (out / name).read_bytes() in (own[0][name], own[1][name]), f"{name} is neither run's whole file"
    assert sorted(p.name for p in out.iterdir()) == sorted(FILES)


def make_past_path_max(parent):
    """A folder below parent whose path is longer than the host allows (4096 bytes), so that no one can list
    it, not even root; the folders above it 3,900 bytes long, so that Wine, which reaches them through its
    prefix's dosdevices (a hundred bytes more), lists them. Made a step at a time; returns its path."""
    names, length = [], len(os.fsencode(parent))
    while length < 3900:
        names.append("x" * min(250, 3900 - length))
        length += len(names[-1]) + 1
    names.append("y" * 255)
    folder = os.open(parent, os.O_RDONLY)
    try:
        for name in names:
            os.mkdir(name, dir_fd=folder)
            below = os.open(name, os.O_RDONLY, dir_fd=folder)
            os.close(folder)
            folder = below
    finally:
        os.close(folder)
    return parent.joinpath(*names)


def test_windows_build_reads_past_max_path_as_the_native_build_and_names_a_folder_it_cannot_list(wine, tmp_path):
    # More than 300 characters of Japanese folder names before the logs; the report written beside them.
    deep = wine.tmp.joinpath(*(f"長い日本語のフォルダー名前{n:02d}" for n in range(1, 25)))
    logs = make_collection(deep / "collected")
    assert len(windows_path(logs / "20261207.txt")) > 300
    # The files beside the logs, read there too: attendance in Excel's CP932, users with a byte-order mark.
    (deep / "勤怠.csv").write_bytes(f"ユーザー,日付,出勤,退勤\r\n{USER.upper()},2026/12/7,8:00,9:30\r\n".encode("cp932"))
    (deep / "利用者.csv").write_bytes(BOM + f"user,name,department\n{USER},試験 太郎,00123\n".encode())
    (deep / "休日.txt").write_bytes("2026/12/8,創立記念日\n".encode())
    beside = ["--attendance", deep / "勤怠.csv", "--users", deep / "利用者.csv", "--holidays", deep / "休日.txt"]
    windows = run_windows(wine, "--out", deep / "出力", "--gap", "86400", *beside, deep / "collected")
    native = run_native("--out", tmp_path / "native", "--gap", "86400", *beside, deep / "collected")
    assert (windows.returncode, native.returncode) == (0, 0), windows.stderr.decode(errors="replace")
    for name in FILES:
        assert (deep / "出力" / name).read_bytes() == (tmp_path / "native" / name).read_bytes() != b"", name
    rows = jsonl_rows((tmp_path / "native" / "report.jsonl").read_bytes())
    assert [(r["clock_in"], r["holiday"], r["name"]) for r in rows] == [
        ("08:00:00", "", "試験 太郎"), (None, "創立記念日", "試験 太郎")]

    unlistable = make_past_path_max(deep / "collected")
    windows = run_windows(wine, "--format", "jsonl", "--gap", "86400", *beside, deep / "collected")
    assert (windows.returncode, windows.stdout) == (1, (tmp_path / "native" / "report.jsonl").read_bytes())
    # Wine adds a line of its own about the name's length.
    assert f"{windows_path(unlistable)}: folder cannot be listed" in windows.stderr.decode().splitlines()


CLICK_DAY = (f"2026/12/07 09:00:00 - {START_TEXT}\r\n2026/12/07 09:00:10 - {LOCK_TEXT}\r\n"
             f"2026/12/07 09:00:20 - {UNLOCK_TEXT}\r\n2026/12/07 09:00:30 - {EXIT_TEXT}\r\n")
REPORT_FOLDER = re.compile(r"\d{4}-\d\d-\d\d_\d{6}")


def test_report_started_from_explorer_writes_a_dated_folder_opens_the_page_and_waits_for_enter(wine):
    """`start` gives the exe a console of its own, as Explorer does: double-clicked
    among the collected logs, then with a folder dropped on it while nothing can
    be written beside it."""
    app, dropped = wine.tmp / "app", wine.tmp / "dropped"
    (app / "PC001" / "tanaka_log").mkdir(parents=True)
    (app / "PC001" / "tanaka_log" / "20261207.txt").write_text(CLICK_DAY, encoding="utf-8", newline="")
    shutil.copytree(app / "PC001", dropped / "PC002")
    shutil.copy2(WINDOWS_EXE, app)
    opened = wine.tmp / "opened.txt"
    wine.managed()  # for the keyboard focus of the console window
    wine.reg_add(r"HKCR\.html", "", "htmlfile")  # the test's prefix is made without a browser
    wine.record_verbs(opened, ["htmlfile"])
    local = wine.prefix / "drive_c" / "users" / wine.env["USER"] / "AppData" / "Local"
    for run, (args, reports, logs) in enumerate([([], app / "reports", app),
                                                  ([dropped], local / "StillSentinel" / "reports", dropped)]):
        if args:
            shutil.rmtree(app / "reports")
            (app / "reports").write_text("in the way")
        proc = subprocess.Popen([*WINE, "start", "/wait", windows_path(app / WINDOWS_EXE.name),
                                 *map(windows_path, args)], cwd=wine.tmp, env=wine.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            (record,) = wait_until(lambda: read_records(opened)[run:], what="the page opened")
            (folder,) = reports.iterdir()
            assert REPORT_FOLDER.fullmatch(folder.name), folder.name
            assert record["arg1"].endswith(rf"\reports\{folder.name}\report.html"), record
            assert (folder / "report.csv").read_bytes() == run_native("--format", "csv", logs).stdout
            # Held open until Enter is pressed in its own console window; a click makes
            # that Wine's active window too, past the hidden ones the shell made.
            (console,) = wine.x("search", "--name", WINDOWS_EXE.name).stdout.decode().split()
            stays(lambda: proc.poll() is None, 1, "the window waiting for Enter")
            wine.x("windowfocus", "--sync", console)
            wine.x("mousemove", "--window", console, 100, 100, "click", 1)
            wine.x("key", "Return")
            assert proc.wait(timeout=WAIT_SECONDS) == 0
        finally:
            if proc.poll() is None:
                os.killpg(proc.pid, 9)
                proc.wait(timeout=10)
