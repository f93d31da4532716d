"""The settings dialog of the real StillSentinel.exe on Wine.

The dialog is opened the way the tray menu does it, by posting WM_COMMAND
40003 to the hidden main window, and driven from outside through sstest.
"""
import pytest

from conftest import (ABOUT_TITLE, DIALOG_CLASS, IDCANCEL, IDM_ABOUT, IDM_SETTINGS, IDOK, SETTINGS_TITLE,
                      WM_CLOSE, WM_COMMAND, WM_TIMER, parse_fields, parse_rect, snapshot, windows_path)
from dialog_support import (
    FIELDS, SC_CLOSE, SHORTCUT_NAME, STARTUP_CHECK, TIMER_IDLE, TIMER_LOG, UDM_SETPOS, VK_ESCAPE, VK_UP,
    WM_SYSCOMMAND, Session, function, startup_folder, strings,
)
from ini import KEYS, ini_bytes
from resources import ADDED_BY_SYSTEM, DIALOG_STYLE, SETTINGS_CONTROLS as CONTROLS, SETTINGS_SIZE as DIALOG_SIZE
from waits import stays, wait_until

WS_BORDER = 0x00800000
WS_VISIBLE = 0x10000000
WS_EX_CLIENTEDGE = 0x00000200

RANGES = {"TimerIntervalSec": (1, 3600), "IdleLimitSeconds": (5, 32767),
          "IdleMoveThreshold": (0, 100), "LogIntervalSec": (0, 3600)}

# Values a test starts from; each differs from its range's bounds and from
# what a misread field would leave behind.
BASELINE = {"TimerIntervalSec": 7, "IdleLimitSeconds": 905, "IdleMoveThreshold": 2, "LogIntervalSec": 45}


def baseline_ini(**changes):
    return {**BASELINE, **changes}


def shown(values):
    """The field texts SetDlgItemInt writes for these values (never grouped)."""
    return {key: str(value) for key, value in values.items()}


def check_timers_restarted(session, mark, values):
    """The OK sequence's timer calls: both stopped, then restarted with the saved periods."""
    expected = [("KillTimer", TIMER_IDLE, None), ("KillTimer", TIMER_LOG, None),
                ("SetTimer", TIMER_IDLE, values["TimerIntervalSec"] * 1000)]
    if values["LogIntervalSec"]:
        expected.append(("SetTimer", TIMER_LOG, values["LogIntervalSec"] * 1000))
    assert session.timer_calls_since(mark) == expected


def run_rows(session, rows):
    """Runs (name, texts, expected values) rows, each from BASELINE; returns the mismatches."""
    problems = []
    current = dict(BASELINE)
    for name, texts, expected in rows:
        if current != BASELINE:
            session.apply(shown(BASELINE))
            current = session.ini_numbers()
            assert current == BASELINE, "could not restore the baseline"
        mark = session.trace_mark()
        session.apply(texts)
        current = session.ini_numbers()
        if current != expected:
            problems.append(f"{name}: INI holds {current}, expected {expected}")
            continue
        try:
            check_timers_restarted(session, mark, expected)
        except AssertionError as error:
            problems.append(f"{name}: timers {error}")
        texts_now = session.peek()
        if texts_now != shown(expected):
            problems.append(f"{name}: reopened dialog shows {texts_now}, expected {shown(expected)}")
    return problems


def test_dialog_opens_as_built_with_current_values_and_ranges(wine):
    session = Session(wine, ini=baseline_ini(), relay=False)
    dialog = session.open_dialog()
    hwnd = int(dialog, 16)
    window, children = wine.dump(dialog)

    assert window["text"] == SETTINGS_TITLE
    assert window["class"] == DIALOG_CLASS
    owners = {int(w["hwnd"], 16): int(w["owner"], 16) for w in session.dialogs()}
    assert owners[hwnd] == session.main
    style = window["style"]
    # The dialog manager adds visibility, sibling clipping and the 3-D look;
    # every template bit must still be there and nothing else added.
    assert style & DIALOG_STYLE == DIALOG_STYLE
    assert style & ~DIALOG_STYLE & 0xFFFFFFFF == style & ADDED_BY_SYSTEM
    assert style & WS_VISIBLE

    created = []
    for child in children:
        child_style = child["style"]
        if child["class"].upper() == "EDIT":
            # An edit control trades WS_BORDER for the sunken client edge.
            assert child["exstyle"] & WS_EX_CLIENTEDGE
            child_style |= WS_BORDER
        text = child["text"] if child["class"].upper() != "EDIT" else ""
        created.append((child["id"], child["class"].upper(), text, child_style))
    assert created == [(i, cls.upper(), text, style) for i, cls, text, style, _ in CONTROLS]

    values = session.state(dialog)
    for key, (edit, spin) in FIELDS.items():
        assert values[f"text{edit}"] == str(BASELINE[key]), key
        assert values[f"range{spin}"] == "%d,%d" % RANGES[key], key
        assert values[f"pos{spin}"] == str(BASELINE[key]), key
    assert values[f"check{STARTUP_CHECK}"] == "0"

    # Layout in pixels: every rectangle is the template's, in the dialog's own units.
    layout, lines = session.app.probe("layout", dialog)
    rects = [parse_rect(fields["rect"]) for kind, fields in map(parse_fields, lines) if kind == "child"]
    assert len(rects) == len(CONTROLS)

    def pixels(*units):
        return parse_rect(session.app.probe("maprect", *units, dialog)[0]["mapped"])

    assert parse_rect(layout["client"]) == pixels(0, 0, *DIALOG_SIZE)[2:]
    assert int(layout["icon_big"], 16), "the dialog has no icon of its own"

    def close(a, b):  # one pixel for the platform's own rounding of edges
        return all(abs(p - q) <= 1 for p, q in zip(a, b))

    for index, (control_id, cls, _, _, dialog_units) in enumerate(CONTROLS):
        expected, actual = pixels(*dialog_units), rects[index]
        if cls == "EDIT":
            # The up-down (UDS_ALIGNRIGHT) takes its width from the right of its buddy.
            spin = rects[index + 1]
            assert close(actual[:2] + actual[3:], expected[:2] + expected[3:]), control_id
            assert actual[2] < expected[2], control_id
            assert spin[0] <= actual[2] < spin[2], control_id
            assert abs(spin[2] - expected[2]) <= 2, control_id
            assert (spin[1], spin[3]) == (actual[1], actual[3]), control_id
        elif cls != "msctls_updown32":
            assert close(actual, expected), (control_id, actual, expected)
    session.press(dialog, IDCANCEL)


CLAMP_ROWS = [
    ("below and above the ranges", {"TimerIntervalSec": "0", "IdleLimitSeconds": "3", "IdleMoveThreshold": "150",
                                    "LogIntervalSec": "4000"},
     {"TimerIntervalSec": 1, "IdleLimitSeconds": 5, "IdleMoveThreshold": 100, "LogIntervalSec": 3600}),
    ("2^31 reads as negative", dict.fromkeys(KEYS, "2147483648"),
     {"TimerIntervalSec": 1, "IdleLimitSeconds": 5, "IdleMoveThreshold": 0, "LogIntervalSec": 0}),
    ("2^32 - 1 reads as -1", dict.fromkeys(KEYS, "4294967295"),
     {"TimerIntervalSec": 1, "IdleLimitSeconds": 5, "IdleMoveThreshold": 0, "LogIntervalSec": 0}),
    ("2^32 is no number", dict.fromkeys(KEYS, "4294967296"), BASELINE),
    ("range bounds stay", {"TimerIntervalSec": "3600", "IdleLimitSeconds": "32767", "IdleMoveThreshold": "0",
                           "LogIntervalSec": "0"},
     {"TimerIntervalSec": 3600, "IdleLimitSeconds": 32767, "IdleMoveThreshold": 0, "LogIntervalSec": 0}),
]


def test_ok_saves_clamped_values_and_shows_them_next_time(wine):
    """OK takes each field bit for bit, the save clamps, timers restart with the clamped periods."""
    session = Session(wine, ini=baseline_ini())
    assert run_rows(session, CLAMP_ROWS) == []


def idle(value):
    return {**BASELINE, "IdleLimitSeconds": value}


FIELD_TEXT_ROWS = [
    ("grouped 1,500", {"IdleLimitSeconds": "1,500"}, idle(1500)),
    ("grouped 32,767", {"IdleLimitSeconds": "32,767"}, idle(32767)),
    ("grouped in three fields", {"TimerIntervalSec": "1,500", "IdleLimitSeconds": "2,500", "LogIntervalSec": "3,500"},
     {**BASELINE, "TimerIntervalSec": 1500, "IdleLimitSeconds": 2500, "LogIntervalSec": 3500}),
    ("emptied", {"IdleLimitSeconds": ""}, BASELINE),
    ("letters", {"IdleLimitSeconds": "abc"}, BASELINE),
    ("digits then letters", {"IdleLimitSeconds": "12abc"}, BASELINE),
    ("2^32", {"IdleLimitSeconds": "4294967296"}, BASELINE),
    ("grouped 2^32", {"IdleLimitSeconds": "4,294,967,296"}, BASELINE),
    ("separator first", {"IdleLimitSeconds": ",500"}, BASELINE),
    ("separator last", {"IdleLimitSeconds": "1,500,"}, BASELINE),
    ("two separators together", {"IdleLimitSeconds": "1,,500"}, BASELINE),
    ("a dot is not this user's separator", {"IdleLimitSeconds": "1.500"}, BASELINE),
    ("all four emptied", dict.fromkeys(KEYS, ""), BASELINE),
]


def test_ok_reads_each_field_as_the_number_it_shows(wine):
    """Grouped numbers count in full; text that is no number keeps the old value."""
    session = Session(wine, ini=baseline_ini())
    assert run_rows(session, FIELD_TEXT_ROWS) == []


def test_user_grouping_separator_is_the_one_accepted(wine):
    """With '.' as this user's thousands separator, "1.500" is 1500 and "1,500" no number."""
    wine.reg_add(r"HKCU\Control Panel\International", "sThousand", ".")
    session = Session(wine, ini=baseline_ini())
    rows = [
        ("the user's separator", {"IdleLimitSeconds": "1.500"}, idle(1500)),
        ("another separator", {"IdleLimitSeconds": "1,500"}, BASELINE),
    ]
    assert run_rows(session, rows) == []


def test_arrow_grouped_values_are_stored_as_shown(wine):
    """Values of 1000 and more that the up-down writes grouped are saved as the number shown."""
    session = Session(wine, ini=baseline_ini())
    dialog = session.open_dialog()
    session.set_texts(dialog, {"IdleLimitSeconds": "999", "TimerIntervalSec": "3599"})
    wine.check("dlgkey", f"{dialog}/{FIELDS['IdleLimitSeconds'][0]}", VK_UP)
    wine.check("dlgkey", f"{dialog}/{FIELDS['TimerIntervalSec'][0]}", VK_UP)
    wine.check("send", f"{dialog}/{FIELDS['LogIntervalSec'][1]}", UDM_SETPOS, 0, 1500)
    shown_now = {"TimerIntervalSec": "3,600", "IdleLimitSeconds": "1,000",
                 "IdleMoveThreshold": str(BASELINE["IdleMoveThreshold"]), "LogIntervalSec": "1,500"}
    wait_until(lambda: session.texts(dialog) == shown_now, 10)  # the keys were posted
    assert session.texts(dialog) == shown_now
    session.press(dialog, IDOK)
    assert session.ini_numbers() == {**BASELINE, "TimerIntervalSec": 3600, "IdleLimitSeconds": 1000,
                                     "LogIntervalSec": 1500}


RESTART_ROWS = [
    pytest.param(1, {}, id="nothing-changed"),
    pytest.param(1, {"LogIntervalSec": "0"}, id="log-interval-0-stops-the-log-timer"),
    pytest.param(0, {"LogIntervalSec": "2"}, id="log-interval-from-0-starts-the-log-timer"),
]


@pytest.mark.parametrize("start_log, texts", RESTART_ROWS)
def test_ok_rewrites_ini_and_restarts_timers(wine, start_log, texts):
    session = Session(wine, ini=baseline_ini(LogIntervalSec=start_log))
    expected = {**BASELINE, "LogIntervalSec": int(texts.get("LogIntervalSec", start_log))}
    if start_log:
        session.wait_session_state_count(2, "the log timer running before OK", 15)
    # The program read the file at start; texts that differ from what a
    # save writes show whether OK writes again (Wine skips identical writes).
    padded = {key: f"0{value}" for key, value in baseline_ini(LogIntervalSec=start_log).items()}
    session.ini_path.write_bytes(ini_bytes(padded) + b"[Other]\r\nkeep=yes\r\n")
    dialog = session.open_dialog()
    if start_log:
        session.wait_session_state_count(session.session_state_count() + 1, "the log timer with the dialog open", 15)
    session.set_texts(dialog, texts)
    mark = session.trace_mark()
    session.press(dialog, IDOK)
    after_ok = session.session_state_count()

    assert session.ini() == shown(expected)
    lines = session.ini_file().decode("ascii").splitlines()
    assert lines[lines.index("[Other]") + 1] == "keep=yes", "a save dropped another section"
    writes = session.calls_since(mark, "kernel32.WritePrivateProfileStringW")
    ini = windows_path(session.ini_path)
    assert [strings(call) for call in writes] == [["StillSentinel", key, str(expected[key]), ini] for key in KEYS]

    check_timers_restarted(session, mark, expected)
    # Order of the OK steps: timers stopped, four writes, the new idle
    # reference, then the timers started again.
    steps = [c for c in session.calls_since(mark, "user32.KillTimer", "user32.SetTimer",
                                            "kernel32.WritePrivateProfileStringW", "user32.GetCursorPos")
             if function(c) not in ("KillTimer", "SetTimer") or c.args[0] == session.main]
    names = [function(c) for c in steps]
    first_set = names.index("SetTimer")
    assert names[:6] == ["KillTimer", "KillTimer"] + ["WritePrivateProfileStringW"] * 4
    assert "GetCursorPos" in names[6:first_set]

    if expected["LogIntervalSec"]:
        session.wait_session_state_count(after_ok + 1, "a session-state line after OK", 15)
    else:
        # More than three periods of the old 1 s log timer.
        stays(lambda: session.session_state_count() == after_ok, 3.5, "no session-state line after OK")


def dismiss_cancel_button(session, dialog):
    session.click(dialog, IDCANCEL)


def dismiss_escape_keyboard(session, dialog):
    # A real key press on the X display, delivered to the focused dialog.
    session.wine.x("key", "Escape")


def dismiss_escape_message(session, dialog):
    # The key as the dialog manager sees it, sent to the focused first field.
    session.wine.check("dlgkey", f"{dialog}/{FIELDS['TimerIntervalSec'][0]}", VK_ESCAPE)


def dismiss_close_box(session, dialog):
    session.wine.post(dialog, WM_SYSCOMMAND, SC_CLOSE)


def dismiss_wm_close(session, dialog):
    session.wine.post(dialog, WM_CLOSE)


DISMISS_ROWS = [
    ("Cancel button", dismiss_cancel_button, False),
    ("Escape key", dismiss_escape_keyboard, True),
    ("Escape reaching the dialog manager", dismiss_escape_message, False),
    ("close box", dismiss_close_box, True),
    ("WM_CLOSE", dismiss_wm_close, False),
]


def test_dismissing_changes_nothing(wine):
    """Cancel, Escape and the close box leave the INI, the shortcut and the timers alone.

    The rows run one after another in one program run; each changes every
    field and flips the box before dismissing, and alternates whether a
    file of the shortcut's name is present.
    """
    session = Session(wine, ini=baseline_ini(LogIntervalSec=1))
    startup = startup_folder(wine)
    shortcut = startup / SHORTCUT_NAME
    problems = []
    for name, dismiss, shortcut_present in DISMISS_ROWS:
        if shortcut_present:
            shortcut.write_bytes(b"a file of the shortcut's name\r\n")
        elif shortcut.exists():
            shortcut.unlink()
        dialog = session.open_dialog()
        assert session.state(dialog)[f"check{STARTUP_CHECK}"] == ("1" if shortcut_present else "0"), name
        session.set_texts(dialog, {"TimerIntervalSec": "1", "IdleLimitSeconds": "5", "IdleMoveThreshold": "0",
                                   "LogIntervalSec": "0"})
        session.click(dialog, STARTUP_CHECK)
        # The click is posted: a state read sent after it may be answered first.
        flipped = "0" if shortcut_present else "1"
        wait_until(lambda: session.state(dialog)[f"check{STARTUP_CHECK}"] == flipped, what=f"{name}: the box flipped")
        ini_before = (session.ini_file(), session.ini_path.stat().st_mtime_ns)
        startup_before = snapshot(startup)
        mark = session.trace_mark()
        dismiss(session, dialog)
        if not wine.wait_gone(dialog):
            problems.append(f"{name}: the dialog stayed open")
            session.press(dialog, IDCANCEL)
            continue
        # (GetCursorPos is no sign here: the idle timer's ticks call it too.)
        calls = session.calls_since(mark, "user32.KillTimer", "user32.SetTimer", "kernel32.WritePrivateProfileStringW",
                                    "kernel32.DeleteFileW", "ole32.CoCreateInstance")
        if session.timer_calls_since(mark) or [c for c in calls if function(c) not in ("KillTimer", "SetTimer")]:
            problems.append(f"{name}: calls after dismissing: {calls}")
        if (session.ini_file(), session.ini_path.stat().st_mtime_ns) != ini_before:
            problems.append(f"{name}: the INI file changed")
        if snapshot(startup) != startup_before:
            problems.append(f"{name}: the Startup folder changed")
    assert problems == []

    # The settings in memory are unchanged and the log timer kept running.
    dialog = session.open_dialog()
    assert session.texts(dialog) == shown({**BASELINE, "LogIntervalSec": 1})
    session.press(dialog, IDCANCEL)
    session.wait_session_state_count(session.session_state_count() + 1, "the log timer still running", 15)


def test_second_dialog_command_while_open_opens_nothing(wine):
    # A long log interval keeps the log timer quiet, so that a posted
    # WM_TIMER 2 marks when the commands posted before it have been handled.
    session = Session(wine, ini=baseline_ini(LogIntervalSec=3600), relay=False)

    def handled(*commands):
        count = session.session_state_count()
        for command in commands:
            session.app.post(WM_COMMAND, command)
        session.app.post(WM_TIMER, TIMER_LOG)
        session.wait_session_state_count(count + 1, "the commands before it handled", 15)

    def titles():
        return sorted(w["title"] for w in session.dialogs())

    dialog = session.open_dialog()
    handled(IDM_SETTINGS, IDM_ABOUT, IDM_SETTINGS)
    assert titles() == [SETTINGS_TITLE]
    session.press(dialog, IDCANCEL)
    assert titles() == []

    # Once closed, the commands work again; the About box blocks settings too.
    session.app.post(WM_COMMAND, IDM_ABOUT)
    about = wine.wait_window(DIALOG_CLASS, ABOUT_TITLE)
    assert int(about["pid"]) == session.pid
    about = about["hwnd"]
    handled(IDM_SETTINGS, IDM_ABOUT)
    assert titles() == [ABOUT_TITLE]
    wine.post(about, WM_CLOSE)
    assert wine.wait_gone(about)
    dialog = session.open_dialog()
    assert titles() == [SETTINGS_TITLE]
    session.press(dialog, IDCANCEL)
