"""The event log on the real exe under Wine: the daily file and its first
bytes, the event texts, the session-state report, failures the program
survives, and lines that stay whole under load from two writers."""
import datetime
import math
import shutil
import time

import pytest

from conftest import (EXIT_TEXT, START_TEXT, WM_CLOSE, WM_ENDSESSION, WM_POWERBROADCAST, WM_WTSSESSION_CHANGE,
                      chattr, immutable, windows_path)
from ini import USER, write_ini
from log_support import (BOM, LogWatcher, daily_name, decode, log_folder, log_texts, parse_lines, read_utf8_log,
                         rebuild, responds, returns, same_local_day, second_writer)
from relay import Own, ok_sequence
from waits import WAIT_SECONDS, wait_until
from wineplatform import session_state_text

# Long enough that no session-state report falls into a short run.
QUIET_INI = {"LogIntervalSec": 3600}

# Every posted notification and the exact text it must log. WM_ENDSESSION
# looks only at bit 31 of lParam, and not at lParam at all when wParam is 0.
NOTIFICATIONS = [
    (WM_WTSSESSION_CHANGE, 5, 0, "ユーザーがログオンしました。"),
    (WM_WTSSESSION_CHANGE, 6, 0, "ユーザーがログオフしました。"),
    (WM_WTSSESSION_CHANGE, 7, 0, "ワークステーションがロックされました。"),
    (WM_WTSSESSION_CHANGE, 8, 0, "ワークステーションのロックが解除されました。"),
    (WM_WTSSESSION_CHANGE, 1, 0, "セッション変更イベント：1"),
    (WM_POWERBROADCAST, 4, 0, "システムがサスペンド状態に入りました。"),
    (WM_POWERBROADCAST, 6, 0, "システムがクリティカル復帰しました。"),
    (WM_POWERBROADCAST, 7, 0, "システムがサスペンドから復帰しました。"),
    (WM_POWERBROADCAST, 10, 0, "電源イベント：10"),
    (WM_ENDSESSION, 1, 0x80000000, "セッション終了（ログオフ）開始。"),
    (WM_ENDSESSION, 1, 0xC0000000, "セッション終了（ログオフ）開始。"),
    (WM_ENDSESSION, 1, 0, "セッション終了（シャットダウン／再起動）開始。"),
    (WM_ENDSESSION, 1, 0x1, "セッション終了（シャットダウン／再起動）開始。"),
    (WM_ENDSESSION, 0, 0, "セッション終了がキャンセルされました。"),
    (WM_ENDSESSION, 0, 0x80000000, "セッション終了がキャンセルされました。"),
]


SUSPEND, RESUME, AUTOMATIC = "システムがサスペンド状態に入りました。", "システムがサスペンドから復帰しました。", "電源イベント：18"
# Power codes posted back to back, each sequence after a resume, and the lines
# they give: a transition that arrives twice (broadcast and registration) is
# one line, a power-status change is one line each time.
POWER_SEQUENCES = [
    ("suspend twice", (4, 4, 18, 7), [SUSPEND, AUTOMATIC, RESUME]),
    ("two transitions", (4, 18, 7, 4, 18, 7), [SUSPEND, AUTOMATIC, RESUME] * 2),
    ("each resume twice", (4, 18, 18, 7, 7), [SUSPEND, AUTOMATIC, RESUME]),
    ("power status twice", (10, 10), ["電源イベント：10"] * 2),
]

# The program's registrations for session and power notifications, in order;
# DEVICE_NOTIFY_WINDOW_HANDLE is 0.
REGISTRATIONS = ("wtsapi32.WTSRegisterSessionNotification", "user32.RegisterSuspendResumeNotification",
                 "wtsapi32.WTSUnRegisterSessionNotification", "user32.UnregisterSuspendResumeNotification")


def post_all(app, rows=NOTIFICATIONS):
    for message, wparam, lparam, _ in rows:
        app.post(message, wparam, lparam)


def folder_entries(folder):
    return sorted(p.name for p in folder.iterdir())


def app_files():
    return sorted(["StillSentinel.exe", f"{USER}_StillSentinel.ini"])


# --- The daily file ---------------------------------------------------------

def test_first_start_makes_the_daily_file_with_mark_and_start_line(wine):
    folder = wine.install()
    with same_local_day():
        before = datetime.datetime.now().replace(microsecond=0)
        app = wine.launch(folder=folder, ini=QUIET_INI)
        wait_until(lambda: log_texts(folder), what="the start line")
        (daily,) = log_folder(folder).glob("*.txt")
        after = datetime.datetime.now()
        first = daily.read_bytes()

        assert app.close() == 0

    # Bytes: the mark, one whole start line, CR LF, nothing more.
    assert first.startswith(BOM)
    assert first.endswith(b"\r\n") and first.count(b"\r\n") == 1
    (entry,) = parse_lines(decode(first[3:]))
    assert first == BOM + rebuild([entry])
    assert entry.text == START_TEXT
    # The line's time is the local clock of the start, and the file is named
    # after that line's own date.
    assert before - datetime.timedelta(seconds=1) <= entry.time <= after + datetime.timedelta(seconds=1)
    assert daily.name == daily_name(entry.time)
    assert folder_entries(folder) == sorted(app_files() + [f"{USER}_log"])

    # The exit line is appended behind it, with no second mark.
    _, entries = read_utf8_log(folder)
    assert [e.text for e in entries] == [START_TEXT, EXIT_TEXT]
    assert daily.read_bytes().startswith(first)


def utf8_lines(texts):
    return lambda data: [e.text for e in parse_lines(decode(data))] == texts


def utf16_lines(texts):
    def check(data):
        assert len(data) % 2 == 0, "odd number of bytes after a UTF-16 file's start"
        assert data.endswith(b"\r\x00\n\x00")
        entries = parse_lines(decode(data, "utf-16-le"))
        assert rebuild(entries, "utf-16-le") == data
        return [e.text for e in entries] == texts
    return check


def nothing_appended(data):
    return data == b""


RUN_TEXTS = [START_TEXT, EXIT_TEXT]

# (case, bytes already in today's file, bytes the run must put in front of
# its lines, check of the appended bytes)
EXISTING_FILES = [
    ("empty", b"", BOM, utf8_lines(RUN_TEXTS)),
    ("marked utf8", BOM + "2026/01/02 03:04:05 - 前の行\r\n".encode(), b"", utf8_lines(RUN_TEXTS)),
    ("plain ascii", b"written by someone else\r\n", b"", utf8_lines(RUN_TEXTS)),
    ("one byte", b"x", b"", utf8_lines(RUN_TEXTS)),
    ("utf16le", b"\xff\xfe" + "前の行\r\n".encode("utf-16-le"), b"", utf16_lines(RUN_TEXTS)),
    ("utf16be", b"\xfe\xff" + "前の行\r\n".encode("utf-16-be"), b"", nothing_appended),
]


@pytest.mark.parametrize("existing, mark, check", [row[1:] for row in EXISTING_FILES],
                         ids=[row[0] for row in EXISTING_FILES])
def test_existing_daily_file_is_appended_by_its_first_bytes(wine, existing, mark, check):
    folder = wine.install()
    with same_local_day() as today:
        daily = log_folder(folder) / daily_name(today)
        daily.parent.mkdir()
        daily.write_bytes(existing)
        app = wine.launch(folder=folder, ini=QUIET_INI)
        assert app.close() == 0

    data = daily.read_bytes()
    assert data.startswith(existing), "the bytes already there were changed"
    appended = data[len(existing):]
    assert appended.startswith(mark)
    assert check(appended[len(mark):]), f"unexpected lines appended: {appended!r}"
    assert sorted(p.name for p in daily.parent.iterdir()) == [daily.name]


# --- The event catalogue ----------------------------------------------------

def test_posted_notifications_log_their_texts_between_start_and_exit(wine):
    folder = wine.install()
    with same_local_day():
        app = wine.launch(folder=folder, ini=QUIET_INI, relay=REGISTRATIONS + ("kernel32.CreateFileW",))
        post_all(app)
        for _, codes, _ in POWER_SEQUENCES:
            for code in codes:
                app.post(WM_POWERBROADCAST, code)
        app.post(WM_CLOSE)
        assert app.wait_exit(WAIT_SECONDS) == 0

    # read_utf8_log checks the mark and that the file is these lines exactly,
    # each ending CR LF, with nothing else.
    _, entries = read_utf8_log(folder)
    texts = [e.text for e in entries]
    sequences = [text for row in POWER_SEQUENCES for text in row[2]]
    expected = [START_TEXT] + [row[3] for row in NOTIFICATIONS] + sequences + [EXIT_TEXT]
    for row, text in zip(NOTIFICATIONS, texts[1:]):
        assert text == row[3], f"message {row[0]:#x} ({row[1]}, {row[2]:#x}) logged {text!r}"
    at = 1 + len(NOTIFICATIONS)
    for name, codes, lines in POWER_SEQUENCES:
        assert texts[at:at + len(lines)] == lines, f"{name}: power codes {codes} logged {texts[at:at + len(lines)]}"
        at += len(lines)
    assert texts == expected
    assert [e.time for e in entries] == sorted(e.time for e in entries)

    # Registered for suspend and resume after the session notifications, and
    # unregistered beside them when the window goes, before the exit line.
    trace = app.trace()
    own = Own.of_window(trace, app.hwnd)
    _, power, _, unpower = ok_sequence(own.calls(trace), [
        (REGISTRATIONS[0], {0: app.hwnd, 1: 0}), (REGISTRATIONS[1], {0: app.hwnd, 1: 0}),
        (REGISTRATIONS[2], {0: app.hwnd}), REGISTRATIONS[3]])
    assert power.retval and unpower.args[0].value == power.retval
    [destroy] = own.messages(trace, 2, "WM_DESTROY")
    ok_sequence([e for e in own.calls(trace) if destroy.spans(e)], [*REGISTRATIONS[2:], "kernel32.CreateFileW"])


def test_session_state_is_reported_every_period_from_a_full_period_after_start(wine):
    period = 2
    reports = 4
    folder = wine.install()
    # What this platform answers to the state query (Wine 8 fails it).
    expected = session_state_text(wine)
    with same_local_day():
        app = wine.launch(folder=folder, ini={"LogIntervalSec": period})
        wait_until(lambda: log_texts(folder).count(expected) >= reports,
                   timeout=period * reports + WAIT_SECONDS, what=f"{reports} session-state reports of {expected}")
        assert app.close() == 0

    _, entries = read_utf8_log(folder)
    assert entries[0].text == START_TEXT and entries[-1].text == EXIT_TEXT
    middle = entries[1:-1]
    assert {e.text for e in middle} == {expected}
    start = entries[0].time
    offsets = [(e.time - start).total_seconds() for e in middle]
    # Seconds are cut, not rounded: the k-th report, due k periods after the
    # start, shows between k periods and k periods + 2 s (1 s of cutting,
    # up to 1 s of lateness on a loaded machine). None may come early.
    for k, offset in enumerate(offsets, 1):
        assert k * period <= offset <= k * period + 2, f"report {k} came {offset} s after the start: {offsets}"
    run = (entries[-1].time - start).total_seconds()
    assert len(middle) >= math.floor(run / period) - 1


def test_log_interval_zero_writes_nothing_and_makes_no_folder(wine):
    app = wine.launch(ini={"LogIntervalSec": 0}, relay=("user32.SetTimer", "kernel32.CreateDirectoryW"))
    folder = app.folder
    post_all(app)
    app.post(WM_CLOSE)
    assert app.wait_exit(WAIT_SECONDS) == 0

    assert folder_entries(folder) == app_files()
    trace = app.trace()
    assert trace.calls("KERNEL32.CreateDirectoryW") == []
    # Only the idle timer runs; the session-state timer is never started.
    assert {e.args[1].value for e in trace.calls("user32.SetTimer")} == {1}


# --- Failures the program survives --------------------------------------------

def test_plain_file_in_place_of_the_folder_loses_lines_and_nothing_else(wine):
    folder = wine.install()
    occupant = log_folder(folder)
    occupant.write_bytes(b"not a folder\r\n")
    app = wine.launch(folder=folder, ini=QUIET_INI)
    post_all(app, NOTIFICATIONS[:3])
    assert responds(app)
    assert app.close() == 0

    assert occupant.read_bytes() == b"not a folder\r\n"
    assert folder_entries(folder) == sorted(app_files() + [occupant.name])


def test_folder_removed_mid_run_is_made_again_by_the_next_line(wine):
    with same_local_day():
        app = wine.launch(ini=QUIET_INI, relay=("kernel32.CreateDirectoryW",))
        folder = app.folder
        logs = log_folder(folder)
        wait_until(lambda: log_texts(folder), what="the start line")
        shutil.rmtree(logs)
        post_all(app, NOTIFICATIONS[:3])
        wait_until(lambda: len(log_texts(folder)) >= 3, what="the lines after the folder was removed")
        # A new daily file: the mark, then every line since, whole.
        _, entries = read_utf8_log(folder)
        assert [e.text for e in entries] == [row[3] for row in NOTIFICATIONS[:3]]
        # A file of the folder's name cannot be replaced: lines are dropped silently.
        shutil.rmtree(logs)
        logs.write_bytes(b"not a folder\r\n")
        post_all(app, NOTIFICATIONS[3:6])
        assert responds(app)
        assert app.close() == 0

    assert logs.read_bytes() == b"not a folder\r\n"
    assert folder_entries(folder) == sorted(app_files() + [logs.name])
    # Always the same path: made for the start line, made again once for the
    # first line after its removal, then one failed attempt for each dropped
    # line (three notifications and the exit line).
    made = app.trace().calls("KERNEL32.CreateDirectoryW")
    assert {c.args[0].text for c in made} == {windows_path(logs)}
    assert returns(app, "KERNEL32.CreateDirectoryW") == [1, 1, 0, 0, 0, 0]


def test_folder_not_creatable_loses_lines_and_each_later_line_tries_again(wine):
    folder = wine.install()
    write_ini(folder, QUIET_INI)  # must exist before the folder is locked
    created = lambda app: returns(app, "KERNEL32.CreateDirectoryW")  # noqa: E731
    with same_local_day(), immutable(folder):
        app = wine.launch(folder=folder, relay=("kernel32.CreateDirectoryW",), window=False)
        # The start line tried to make the folder and failed.
        wait_until(lambda: len(created(app)) >= 1, what="the first folder attempt")
        app.post(WM_POWERBROADCAST, 4)
        wait_until(lambda: len(created(app)) >= 2, what="the next line's attempt")
        assert created(app) == [0, 0]
        assert responds(app)
        assert not log_folder(folder).exists()

        chattr("-i", folder)
        app.post(WM_POWERBROADCAST, 7)
        wait_until(lambda: log_texts(folder), what="the folder and the later line")
        assert app.close() == 0

    _, entries = read_utf8_log(folder)
    assert [e.text for e in entries] == ["システムがサスペンドから復帰しました。", EXIT_TEXT]
    # Made at the third attempt, then kept for the exit line.
    assert created(app) == [0, 0, 1]


def test_executable_path_of_260_characters_or_more_derives_no_folder(wine, tmp_path):
    # The exe's directory is P\B, with B long enough that a path cut to 259
    # (or 260) characters ends inside B. Dropping the cut file name from it
    # would leave P, and P\tester_log is short enough to be made: a program
    # that used the cut path would create that folder.
    parent = tmp_path / "deep"
    parent_win = windows_path(parent)
    directory_name = "b" * (265 - len(parent_win) - 1)
    assert 0 < len(directory_name) <= 255
    exe_path_win = f"{parent_win}\\{directory_name}\\StillSentinel.exe"
    assert len(exe_path_win) >= 260 and len(f"{parent_win}\\{USER}_log") < 260
    exe_dir = wine.install(f"deep/{directory_name}")
    app = wine.launch(folder=exe_dir, relay=("kernel32.CreateDirectoryW", "kernel32.GetModuleFileNameW"),
                      window=False)
    # The INI path cannot be formed either, which the save-failure box reports first.
    wine.dismiss_box(wine.message_box())
    app.window()
    post_all(app, NOTIFICATIONS[:3])
    assert responds(app)
    assert app.close() == 0

    # The platform did hand the program a cut path (260 = the full buffer)...
    assert 260 in returns(app, "KERNEL32.GetModuleFileNameW")
    # ...and no folder was derived from it, anywhere.
    assert app.trace().calls("KERNEL32.CreateDirectoryW") == []
    made = [p for p in tmp_path.rglob("*_log") if "prefix" not in p.relative_to(tmp_path).parts[:1]]
    assert made == []
    assert sorted(p.name for p in exe_dir.iterdir()) == ["StillSentinel.exe"]


# --- Load held, nothing lost ----------------------------------------------------

BURST = 10_000
FIRST_CODE = 1000  # power codes 1000.. log as "電源イベント：<code>", in order
POWER_PREFIX = "電源イベント："
WRITER_TAG = "writer-B"


def report(capsys, record_property, name, value):
    record_property(name, value)
    with capsys.disabled():
        print(f"\n[log throughput] {name}: {value}")


def post_burst_held(wine, app):
    """Holds the program's thread, posts the burst and then WM_CLOSE behind
    it, and returns the power codes the platform accepted, in posting order.
    Once resumed, the program handles the whole burst, writes its exit line
    and ends."""
    hwnd = f"{app.window():x}"
    code, values, _ = wine.sstest("suspend", hwnd)
    assert code == 0, "could not hold the program's thread"
    code, values, _ = wine.sstest("postseq", hwnd, WM_POWERBROADCAST, FIRST_CODE, BURST, 0, timeout=120)
    assert code == 0
    refused = set()
    for part in filter(None, values["refused"].split(",")):
        low, _, high = part.partition("-")
        refused.update(range(int(low), int(high or low) + 1))
    accepted = [c for c in range(FIRST_CODE, FIRST_CODE + BURST) if c not in refused]
    assert len(accepted) == int(values["accepted"])
    assert accepted, "the platform refused every post"
    app.post(WM_CLOSE)
    return accepted


def is_burst(text):
    return text.startswith(POWER_PREFIX)


def is_writer(text):
    return text.startswith(WRITER_TAG + " ")


def test_burst_of_posted_events_gives_one_whole_line_each_in_order(wine, capsys, record_property):
    folder = wine.install()
    with same_local_day() as today:
        app = wine.launch(folder=folder, ini=QUIET_INI)
        daily = log_folder(folder) / daily_name(today)
        wait_until(lambda: log_texts(folder), what="the start line")
        accepted = post_burst_held(wine, app)
        watcher = LogWatcher(daily)
        watcher.poll()
        assert wine.sstest("resume", f"{app.window():x}")[0] == 0
        watcher.follow(lambda lines: app.proc.poll() is not None, timeout=180, what="the burst and the exit")
        assert app.wait_exit() == 0

    _, entries = read_utf8_log(folder)
    texts = [e.text for e in entries]
    assert texts[0] == START_TEXT and texts[-1] == EXIT_TEXT
    assert texts[1:-1] == [f"{POWER_PREFIX}{c}" for c in accepted]
    report(capsys, record_property, "posts accepted", f"{len(accepted)} of {BURST}")
    rate = watcher.rate(is_burst)
    report(capsys, record_property, "program alone, lines/s", f"{rate:.0f}" if rate else "n/a")


def test_second_writer_appending_meanwhile_loses_and_tears_no_line(wine, capsys, record_property):
    folder = wine.install()
    event = "StillSentinelTestGo"
    with same_local_day() as today:
        app = wine.launch(folder=folder, ini=QUIET_INI)
        daily = log_folder(folder) / daily_name(today)
        wait_until(lambda: log_texts(folder), what="the start line")
        accepted = post_burst_held(wine, app)

        # The writer stands for this user's instance in another logon
        # session: same folder, same user, the program's own line writer. It
        # waits for the event that is set the moment the program resumes.
        with second_writer(wine, folder, BURST, WRITER_TAG, 1, event) as writer:
            watcher = LogWatcher(daily)
            watcher.poll()
            started = time.monotonic()
            assert wine.sstest("resume", f"{app.window():x}", event, 30000)[0] == 0
            watcher.follow(lambda lines: app.proc.poll() is not None and writer.poll() is not None,
                           timeout=300, what="both writers to finish")
            out, _ = writer.communicate(timeout=WAIT_SECONDS)
        assert writer.returncode == 0
        assert app.wait_exit() == 0

    written = dict(line.split("=", 1) for line in out.decode(errors="replace").splitlines() if "=" in line)
    assert written["folder"].lower() == windows_path(log_folder(folder)).lower()

    # Every line whole (read_utf8_log fails on any torn or stray bytes), none
    # lost, and each writer's lines in its own order.
    _, entries = read_utf8_log(folder)
    texts = [e.text for e in entries]
    program = [t for t in texts if is_burst(t)]
    others = [t for t in texts if is_writer(t)]
    assert program == [f"{POWER_PREFIX}{c}" for c in accepted]
    assert others == [f"{WRITER_TAG} {n:06d}" for n in range(1, BURST + 1)]
    assert len(texts) == 2 + len(accepted) + BURST
    # The program's own lines keep their places: start first, exit after its
    # last event (the writer may still be going then).
    assert texts[0] == START_TEXT and texts.count(EXIT_TEXT) == 1
    exit_at = texts.index(EXIT_TEXT)
    assert all(not is_burst(t) for t in texts[exit_at:])
    # The two really wrote at the same time: their lines interleave.
    program_at = [i for i, t in enumerate(texts) if is_burst(t)]
    writer_at = [i for i, t in enumerate(texts) if is_writer(t)]
    assert writer_at[0] < program_at[-1] and program_at[0] < writer_at[-1]

    program_rate = watcher.rate(is_burst)
    last_seen = max(seen for text, seen in watcher.lines if is_burst(text) or is_writer(text))
    report(capsys, record_property, "program with second writer, lines/s",
           f"{program_rate:.0f}" if program_rate else "n/a")
    report(capsys, record_property, "second writer alongside the program, lines/s",
           f"{BURST / float(written['seconds']):.0f}")
    report(capsys, record_property, "both writers together, lines/s",
           f"{(len(accepted) + BURST) / (last_seen - started):.0f}")
