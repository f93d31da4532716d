"""The log report's files: what is named like a daily file but is not one (read through scripts/report.sh,
whose build from nothing scripts/build.sh uses), where --out may write, two runs on one folder, paths past
MAX_PATH with the files kept beside the logs, and a start as Explorer starts it."""
import os
import re
import shutil
import subprocess
from pathlib import Path

import pytest

from conftest import ROOT, read_records, windows_path
from ini import USER
from log_support import BOM
from report_support import (FILES, NATIVE, WINDOWS_EXE, make_collection, report_rows, run_native, run_windows,
                            written)
from waits import WAIT_SECONDS, stays, wait_until
from wineplatform import WINE

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


def test_report_and_its_script_name_and_skip_what_is_not_a_daily_file_and_report_the_rest(tmp_path):
    make_collection(tmp_path / "collected")
    clean = run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected")
    assert clean.returncode == 0 and clean.stdout
    traps = tmp_path / "collected" / "PC002" / "traps_log"
    traps.mkdir(parents=True)
    paths = [traps / f"202612{n:02d}.txt" for n in range(1, len(TRAPS) + 1)]
    for path, (_, make, _) in zip(paths, TRAPS):
        make(path)

    def script(*args):
        return subprocess.run(["bash", str(ROOT / "scripts" / "report.sh"), "--format", "jsonl", "--gap", *args],
                              cwd=tmp_path, stdin=subprocess.DEVNULL, capture_output=True, timeout=3 * WAIT_SECONDS)

    assert script("soon", "collected").returncode == 2
    # A path that cannot be read, with a space in its name, beside the traps. Opening a pipe or reading /dev/zero
    # would never end: the run's time limit ends the test then.
    result = script("86400", tmp_path / "collected", "missing folder")
    assert (result.returncode, result.stdout) == (1, clean.stdout)
    lines = result.stderr.decode().splitlines()
    assert len(lines) == len(TRAPS) + 1, lines
    for path, (what, _, words) in [*zip(paths, TRAPS), ("missing folder", ("a missing path", None, "does not exist"))]:
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
    alone = [tmp_path / f"alone-{root.name}" for root in roots]
    assert [run_native("--out", out, "--gap", "86400", root).returncode for out, root in zip(alone, roots)] == [0, 0]
    own = [written(out) for out in alone]
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
    """A folder below parent past the host's 4096 bytes, which no one can list, below folders of 3,900 bytes
    that Wine lists through its prefix's dosdevices (a hundred bytes more). Made a step at a time."""
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
    assert windows.returncode == 0, windows.stderr.decode(errors="replace")
    rows = report_rows(tmp_path / "native", "--gap", "86400", *beside, deep / "collected")
    assert written(deep / "出力") == written(tmp_path / "native") and all(written(tmp_path / "native").values())
    assert [(r["clock_in"], r["holiday"], r["name"]) for r in rows] == [
        ("08:00:00", "", "試験 太郎"), (None, "創立記念日", "試験 太郎")]

    unlistable = make_past_path_max(deep / "collected")
    windows = run_windows(wine, "--format", "jsonl", "--gap", "86400", *beside, deep / "collected")
    assert (windows.returncode, windows.stdout) == (1, (tmp_path / "native" / "report.jsonl").read_bytes())
    # Wine adds a line of its own about the name's length.
    assert f"{windows_path(unlistable)}: folder cannot be listed" in windows.stderr.decode().splitlines()


REPORT_FOLDER = re.compile(r"\d{4}-\d\d-\d\d_\d{6}")


def test_report_started_from_explorer_writes_a_dated_folder_opens_the_page_and_waits_for_enter(wine):
    """`start` gives the exe a console of its own, as Explorer does: double-clicked among the collected
    logs, then with a folder dropped on it while nothing can be written beside it."""
    app, dropped = wine.tmp / "app", wine.tmp / "dropped"
    make_collection(app)
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
            # Held open until Enter is pressed in its own console window, the one shown (waited
            # for: it may come after the page); a click makes that Wine's active window too, past
            # the hidden ones the shell made.
            (console,) = wait_until(lambda: wine.shown_windows(WINDOWS_EXE.name), what="the console window")
            stays(lambda: proc.poll() is None, 1, "the window waiting for Enter")
            wine.x("windowfocus", "--sync", console)
            wine.x("mousemove", "--window", console, 100, 100, "click", 1)
            wine.x("key", "Return")
            assert proc.wait(timeout=WAIT_SECONDS) == 0
        finally:
            if proc.poll() is None:
                os.killpg(proc.pid, 9)
                proc.wait(timeout=10)
