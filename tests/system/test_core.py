"""Application core on Wine: settings file, hidden window, single instance,
shutdown, and unwritable or unformable settings paths (the idle lock: test_idle)."""
import pytest

from conftest import MAIN_CLASS, WM_CLOSE, chattr, files_named_like, snapshot, windows_path
from core_support import (ALREADY_RUNNING_TEXT, MB_ICONERROR, MB_ICONWARNING, MUTEX_CALL, SAVE_FAILED_TEXT,
                          box_flags, gui_calls, timer_periods)
from ini import DEFAULTS, KEYS, SECTION, USER, ini_bytes, ini_path, read_ini, write_ini
from log_support import log_texts
from waits import stays, wait_until

WS_VISIBLE = 0x10000000
WS_OVERLAPPEDWINDOW = 0x00CF0000


def made_main_window(trace):
    return any(a.text == MAIN_CLASS for e in gui_calls(trace, "user32.CreateWindowExW") for a in e.args)


# ---------------------------------------------------------------- first start

def test_first_start_writes_defaults_keeps_window_hidden_and_closes_with_0(wine):
    app = wine.launch(window=False)
    folder = app.folder

    # From the moment the window exists, for a few seconds: the one window, hidden.
    first = wine.wait_window()
    assert (first["class"], first["title"], first["visible"]) == (MAIN_CLASS, "StillSentinel", "0")
    stays(lambda: wine.wait_window() == first, 3, "one hidden main window")
    style = wine.dump(first["hwnd"])[0]["style"]
    assert style & WS_OVERLAPPEDWINDOW == WS_OVERLAPPEDWINDOW
    assert not style & WS_VISIBLE

    expected = (b"[StillSentinel]\r\nTimerIntervalSec=10\r\nIdleLimitSeconds=900\r\n"
                b"IdleMoveThreshold=3\r\nLogIntervalSec=30\r\n")
    assert read_ini(folder) == expected
    assert sorted(p.name for p in folder.glob("*.ini")) == [ini_path(folder).name]
    written = ini_path(folder).stat().st_mtime_ns

    # WM_CLOSE is the whole shutdown: exit code 0, the window gone, nothing written on the way out.
    wine.post(first["hwnd"], WM_CLOSE)
    assert app.wait_exit(30) == 0
    assert wine.wait_gone(first["hwnd"], 5)
    assert read_ini(folder) == expected
    assert ini_path(folder).stat().st_mtime_ns == written


# ---------------------------------------------------------------- clamping

def settings_file(present, appended=()):
    """Our section between foreign lines: a comment, a section before, a
    foreign key on each side of our keys and a section after."""
    lines = ["; written by hand", "[Before]", "Name=value", f"[{SECTION}]", "Extra=keep me"]
    lines += [f"{key}={text}" for key, text in present]
    lines += ["Tail=also kept"]
    lines += [f"{key}={text}" for key, text in appended]
    lines += ["[After]", "z=1"]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


CLAMP_TABLE = [
    # id, texts in the file (in key order), values the start-up writes back
    ("below_ranges", ("0", "4", "-1", "0"), (1, 5, 0, 0)),
    ("above_ranges", ("3601", "100000", "101", "3601"), (3600, 32767, 100, 3600)),
    ("int32_max_is_above", ("2147483647",) * 4, (3600, 32767, 100, 3600)),
    ("2_pow_31_reads_negative", ("2147483648",) * 4, (1, 5, 0, 0)),
    ("2_pow_32_minus_1_reads_negative", ("4294967295",) * 4, (1, 5, 0, 0)),
    ("bounds_stay_a", ("1", "32767", "0", "3600"), (1, 32767, 0, 3600)),
    ("bounds_stay_b", ("3600", "5", "100", "0"), (3600, 5, 100, 0)),
]


@pytest.mark.parametrize("texts,expected", [row[1:] for row in CLAMP_TABLE], ids=[row[0] for row in CLAMP_TABLE])
def test_start_up_rewrites_values_clamped_and_keeps_foreign_lines(wine, texts, expected):
    app = wine.launch(ini=settings_file(zip(KEYS, texts)))  # the settings are saved before the window is made
    assert read_ini(app.folder) == settings_file(zip(KEYS, map(str, expected)))


def test_missing_keys_are_added_with_defaults_after_the_foreign_key(wine):
    app = wine.launch(ini=settings_file([("TimerIntervalSec", "0")]))
    assert read_ini(app.folder) == settings_file(
        [("TimerIntervalSec", "1")], appended=[(k, str(v)) for k, v in zip(KEYS[1:], DEFAULTS[1:])])


# ---------------------------------------------------------------- user names

# Wine's GetUserNameW keeps only what follows the last '/' or '\' of USER,
# so those two characters never reach the program here.
USER_TABLE = [
    # id, USER, the name part of the INI file
    ("colon", "ki:m", "ki_m"),
    ("asterisk", "a*b", "a_b"),
    ("question_mark", "a?b", "a_b"),
    ("double_quote", 'a"b', "a_b"),
    ("less_than", "a<b", "a_b"),
    ("greater_than", "a>b", "a_b"),
    ("vertical_bar", "a|b", "a_b"),
    ("all_seven", 'x:*?"<>|y', "x_______y"),
    ("non_ascii_space_dot_kept", "田中 k.j", "田中 k.j"),
]


@pytest.mark.parametrize("user,file_user", [row[1:] for row in USER_TABLE], ids=[row[0] for row in USER_TABLE])
def test_ini_file_is_named_after_the_sanitised_user(wine, user, file_user):
    wine.env["USER"] = user
    folder = wine.launch().folder
    assert [p.name for p in folder.glob("*.ini")] == [f"{file_user}_StillSentinel.ini"]
    assert read_ini(folder, file_user) == ini_bytes(DEFAULTS)


# ---------------------------------------------------------------- second start

def test_second_start_warns_once_writes_nothing_and_first_instance_runs_on(wine):
    # One-second ticks show the first instance still working; the long log
    # period keeps it from writing anything while the second one runs.
    first = wine.launch(ini=(1, 900, 3, 3600), relay=(
        MUTEX_CALL, "user32.MessageBoxW", "user32.CreateWindowExW", "user32.SetTimer", "user32.GetCursorPos",
        "KERNEL32.GetPrivateProfileIntW", "KERNEL32.WritePrivateProfileStringW"))
    folder, main = first.folder, wine.wait_window()
    wait_until(lambda: log_texts(folder), 15, what="the first instance's start line")
    before = snapshot(folder)
    prefix_before = files_named_like(wine.prefix / "drive_c", "stillsentinel")

    second = wine.launch(folder=folder, name="second", window=False)
    box = wine.message_box()
    assert box, "no already-running box appeared"
    assert (box["count"], box["text"], box["owner"], box["buttons"]) == (1, ALREADY_RUNNING_TEXT, "0", [(1, "OK")])
    assert box["pid"] != main["pid"]
    # While the box is up the second instance waits on it and the first runs.
    assert second.proc.poll() is None
    assert wine.wait_window()["hwnd"] == main["hwnd"]

    wine.dismiss_box(box)
    assert second.wait_exit(20) == 0

    # The first instance keeps ticking after the second one has gone.
    ticks_then = len(gui_calls(first.trace(), "user32.GetCursorPos"))
    first_trace = first.wait_trace(lambda t: len(gui_calls(t, "user32.GetCursorPos")) >= ticks_then + 2, 15,
                                   "two more idle ticks of the first instance")
    assert first.proc.poll() is None
    assert wine.wait_window()["hwnd"] == main["hwnd"]

    assert snapshot(folder) == before
    assert files_named_like(wine.prefix / "drive_c", "stillsentinel") == prefix_before

    # The trace of each process: the first read, wrote and made its window
    # (so the trace does see these calls); the second did none of it.
    for function in ("KERNEL32.GetPrivateProfileIntW", "KERNEL32.WritePrivateProfileStringW", "user32.SetTimer"):
        assert gui_calls(first_trace, function), f"the trace shows no {function} of the first instance"
    assert made_main_window(first_trace)
    second_trace = second.trace()
    for function in ("KERNEL32.GetPrivateProfileIntW", "KERNEL32.WritePrivateProfileStringW",
                     "user32.SetTimer", "user32.GetCursorPos"):
        assert gui_calls(second_trace, function) == [], f"the second instance called {function}"
    # (Wine's ole32 makes a helper window of its own on the thread; ours must not appear.)
    assert not made_main_window(second_trace)
    assert box_flags(second_trace) == [MB_ICONWARNING]
    assert box_flags(first_trace) == []

    assert first.close() == 0


def test_name_held_by_an_instance_we_may_not_open_refuses_the_start(wine):
    """What a normal start meets when an elevated instance made the mutex: the
    name exists and its DACL shuts this token out, so CreateMutexW fails."""
    wine.check("holdmutex", "Local\\StillSentinel_Mutex")
    app = wine.launch(relay=(MUTEX_CALL, "user32.MessageBoxW", "user32.CreateWindowExW"), window=False)
    box = wine.message_box()
    assert box, "no already-running box appeared"
    assert (box["count"], box["text"], box["owner"], box["buttons"]) == (1, ALREADY_RUNNING_TEXT, "0", [(1, "OK")])
    wine.dismiss_box(box)
    assert app.wait_exit(20) == 0

    trace = app.trace()
    assert [e.retval for e in gui_calls(trace, MUTEX_CALL)] == [0], "the platform let the program open the name"
    assert box_flags(trace) == [MB_ICONWARNING]
    assert not made_main_window(trace)
    assert sorted(p.name for p in app.folder.iterdir()) == ["StillSentinel.exe"], "an INI or a log was written"


# ---------------------------------------------------------------- save failure

READ_ONLY_CASES = [
    # id, file contents (None: no file, and the folder is made unwritable
    # instead), the four texts the save tries to write, the timer periods in ms
    ("file", ini_bytes(("07", "05", "03", "012")), ["7", "5", "3", "12"], {1: 7000, 2: 12000}),
    ("folder", None, ["10", "900", "3", "30"], {1: 10000, 2: 30000}),
]


@pytest.mark.parametrize("contents,texts,periods", [c[1:] for c in READ_ONLY_CASES],
                         ids=[c[0] for c in READ_ONLY_CASES])
def test_unwritable_settings_report_once_then_run_with_values_read(wine, contents, texts, periods):
    folder = wine.install()
    path = ini_path(folder)
    if contents is not None:
        # Texts that differ from what the save writes ("07" against "7"), so
        # that Wine really attempts each write instead of skipping it.
        write_ini(folder, contents)
    target = path if contents is not None else folder
    chattr("+i", target)
    try:
        app = wine.launch(folder=folder, window=False, relay=(
            MUTEX_CALL, "user32.MessageBoxW", "user32.SetTimer", "KERNEL32.WritePrivateProfileStringW"))
        box = wine.message_box()
        assert box, "no save-failure box appeared"
        assert (box["count"], box["text"], box["owner"], box["buttons"]) == (1, SAVE_FAILED_TEXT, "0", [(1, "OK")])
        # The box comes before the window: start-up waits on it.
        stays(lambda: not wine.wait_window(timeout=0, check=False), 0.5, "no window while the box is up")
        wine.dismiss_box(box)

        assert wine.window_or_box()[0] == "window", "a second save-failure box appeared"
        assert app.close() == 0
        # One box in the whole run, none after the window.
        trace = app.trace()
        assert box_flags(trace) == [MB_ICONERROR]
        # All four writes were tried, with the values read, and each failed.
        writes = gui_calls(trace, "KERNEL32.WritePrivateProfileStringW")
        assert [w.args[2].text for w in writes] == texts
        assert [w.retval for w in writes] == [0] * 4
        assert timer_periods(trace) == periods
        if contents is not None:
            assert path.read_bytes() == contents
        else:
            assert not path.exists()
    finally:
        chattr("-i", target)


# ---------------------------------------------------------------- path limit

INI_NAME_TAIL = len("\\" + ini_path("").name)


def deep_folder(base, ini_length):
    """A folder whose INI path (as Windows spells it) has ini_length characters."""
    folder_length = ini_length - INI_NAME_TAIL
    pad = folder_length - len(windows_path(base))
    parts = []
    while pad > 0:
        size = min(pad - 1, 100)
        if pad - 1 - size == 1:  # never leave a one-character remainder for "\" alone
            size -= 1
        parts.append("d" * size)
        pad -= size + 1
    folder = base.joinpath(*parts)
    assert len(windows_path(folder)) == folder_length
    return folder


@pytest.mark.parametrize("ini_length,fits", [(259, True), (260, False)], ids=["fits_259", "one_over_260"])
def test_settings_path_that_does_not_fit_is_never_used(wine, ini_length, fits):
    folder = deep_folder(wine.tmp / "deep", ini_length)
    folder.mkdir(parents=True)
    exe = wine.install(folder.relative_to(wine.tmp)) / "StillSentinel.exe"
    assert len(windows_path(exe)) < 260
    full_ini = windows_path(ini_path(folder))
    assert len(full_ini) == ini_length

    windows_folder = wine.prefix / "drive_c" / "windows"
    windows_before = {p.name: p.read_bytes() for p in windows_folder.iterdir() if p.is_file()}
    named_before = files_named_like(wine.prefix / "drive_c", "stillsentinel")
    app = wine.launch(folder=folder, window=False, relay=(
        MUTEX_CALL, "user32.MessageBoxW", "user32.SetTimer", "KERNEL32.WritePrivateProfileStringW",
        "KERNEL32.GetPrivateProfileIntW"))
    first, values = wine.window_or_box()
    if fits:
        assert first == "window", f"unexpected box: {values.get('text')}"
    else:
        assert first == "box" and values["text"] == SAVE_FAILED_TEXT, "a write to no path must be reported"
        wine.dismiss_box(values)
        assert wine.window_or_box()[0] == "window", "a second save-failure box appeared"
    assert app.close() == 0
    trace = app.trace()

    # The program ran with the defaults either way.
    assert timer_periods(trace) == {1: 10000, 2: 30000}
    paths = {e.args[3].text for f in ("KERNEL32.WritePrivateProfileStringW", "KERNEL32.GetPrivateProfileIntW")
             for e in gui_calls(trace, f)}
    if fits:
        assert box_flags(trace) == []
        assert read_ini(folder) == ini_bytes(DEFAULTS)
        assert paths == {full_ini}
    else:
        assert box_flags(trace) == [MB_ICONERROR]
        # No profile call with a cut-short or empty name, hence no file anywhere.
        assert paths == set()
        beside = sorted(p.name for p in folder.iterdir())
        assert beside == ["StillSentinel.exe", f"{USER}_log"]
    assert {p.name: p.read_bytes() for p in windows_folder.iterdir() if p.is_file()} == windows_before
    assert files_named_like(wine.prefix / "drive_c", "stillsentinel") == named_before
