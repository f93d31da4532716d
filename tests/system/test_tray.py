"""The tray icon, its menu and the menu's commands, on the real exe under Wine.

Witnesses: Wine's relay trace of the program's GUI thread (shell, menu, timer
and file calls with their arguments, in call order), the probe DLL that reads
the open popup menu from inside the program, the program's memory (the icon
record), Wine's notification area (plain Xvfb has no X tray, so Wine shows its
own) and a recorder program that stands in for the folder browser.
"""
import os
import struct
import time

import pytest

import relay
from conftest import (EXE, EXIT_TEXT, IDM_EXIT, IDM_OPENLOG, START_TEXT, WM_COMMAND, WM_NULL, WM_TRAYICON, centre,
                      immutable, parse_rect, private_wine, read_records, windows_path)
from log_support import log_folder, read_utf8_log, rebuild
from resources import MENU_ITEMS
from waits import wait_until
from wineplatform import DEF_WINDOW_PROC_DEBUG, tray_icons

NIM_ADD, NIM_DELETE, TPM_RIGHTBUTTON = 0, 2, 2
IDR_TRAYMENU = 100
IDI_APP = 101
MFT_SEPARATOR = 0x800

# Everything the tests read from the relay trace.
RELAY = (
    "shell32.Shell_NotifyIconW", "shell32.ShellExecuteW",
    "user32.LoadIconW", "user32.GetCursorPos", "user32.SetForegroundWindow", "user32.LoadMenuW",
    "user32.GetSubMenu", "user32.TrackPopupMenu", "user32.DestroyMenu", "user32.PostMessageW",
    "user32.DestroyWindow", "user32.KillTimer", "user32.PostQuitMessage",
    "user32.RegisterWindowMessageW", "user32.ChangeWindowMessageFilterEx",
    "kernel32.CreateDirectoryW", "kernel32.CreateFileW", "kernel32.WriteFile",
)

# No timer tick and no session-state line may wander into a traced sequence.
QUIET = {"TimerIntervalSec": 3600, "LogIntervalSec": 3600}


def start_traced(wine, settings, channels=""):
    """Starts the exe with the relay trace (and any further debug channels) on;
    returns (app, folder, the program's own calls: its main window's thread and its image)."""
    app = wine.launch(ini=settings, relay=RELAY, channels=channels)
    hwnd = app.hwnd
    trace = app.wait_trace(lambda t: t.thread_of_window(hwnd) and t.calls("shell32.Shell_NotifyIconW"),
                           what="the main window's messages and the icon's addition in the trace")
    return app, app.folder, relay.Own.of_window(trace, hwnd, EXE)


def default_handling(trace, prog, message, number):
    """DefWindowProcW calls for this very message to the main window, from
    whichever caller (start_traced with DEF_WINDOW_PROC_DEBUG)."""
    return [e for e in trace.calls("user32.DefWindowProcW", prog.tid) if message.spans(e)
            and e.args[0].value == prog.hwnd and e.args[1].int32 == number]


def read_record(wine, pid, address, size=976):
    values, _ = wine.check("trayreadmem", pid, hex(address), size)
    return bytes.fromhex(values["bytes"])


def menus_shown(wine, pid, count, timeout_ms=10000):
    """Waits until process pid shows exactly count popup menus; returns (reached, answers)."""
    code, values, _ = wine.sstest("menus", pid, timeout_ms, count, timeout=timeout_ms / 1000)
    return code == 0, values


def tray_callbacks(trace, prog, lparam):
    return [m for m in prog.messages(trace) if m.is_msg(WM_TRAYICON) and m.wp == 1 and m.lp == lparam]


# --- The icon --------------------------------------------------------------

def unpack_notify_icon_data(record):
    """The fields of a 64-bit NOTIFYICONDATAW (976 bytes)."""
    assert len(record) == 976
    cb_size, hwnd, uid, flags, callback, hicon = struct.unpack_from("<I4xQIII4xQ", record, 0)
    tip = record[40:40 + 256].decode("utf-16-le").split("\0", 1)[0]
    return {"cbSize": cb_size, "hWnd": hwnd, "uID": uid, "uFlags": flags, "uCallbackMessage": callback,
            "hIcon": hicon, "szTip": tip, "tip_tail": record[40 + 2 * len(tip):296],
            "rest": record[296:], "padding": record[4:8] + record[28:32]}


def test_start_adds_the_icon_with_the_full_record(wine):
    app, _, prog = start_traced(wine, QUIET, channels=",+systray")
    text = app.stderr_text()
    trace = app.trace()

    adds = prog.calls(trace, "shell32.Shell_NotifyIconW")
    assert [c.args[0].int32 for c in adds] == [NIM_ADD], "start-up must add the icon exactly once"
    add = adds[0]
    # What the shell saw at the call: Wine's systray channel prints the size.
    assert f":{prog.tid}:trace:systray:Shell_NotifyIconW dwMessage = 0, nid->cbSize=976" in text
    creates = prog.messages(trace, 1, "WM_CREATE")
    assert creates and creates[0].ret_index < add.index, "the icon is added after the window exists"

    # The record as the program holds it, read from its memory.
    fields = unpack_notify_icon_data(read_record(wine, app.pid, add.args[1].value))
    icon_loads = [c for c in prog.calls(trace, "user32.LoadIconW") if c.index < add.index]
    assert icon_loads[-1].args[0].value == prog.image.start and icon_loads[-1].args[1].value == IDI_APP
    expected = {"cbSize": 976, "hWnd": app.hwnd, "uID": 1, "uFlags": 7, "uCallbackMessage": WM_TRAYICON,
                "hIcon": icon_loads[-1].retval, "szTip": "StillSentinel"}
    assert {k: fields[k] for k in expected} == expected
    assert fields["hIcon"] != 0
    assert fields["tip_tail"] == bytes(len(fields["tip_tail"])), "szTip holds nothing after its text"
    assert fields["rest"] == bytes(976 - 296), "state, balloon, version, GUID and balloon icon stay zero"
    assert fields["padding"] == bytes(8)

    # The shell received it: Wine's notification area shows one icon.
    wait_until(lambda: len(tray_icons(wine)) == 1, 10, what="one icon in Wine's notification area")
    assert app.close() == 0


def test_taskbar_created_adds_the_icon_again(wine):
    app, _, prog = start_traced(wine, QUIET, channels=DEF_WINDOW_PROC_DEBUG)
    first_add = prog.calls(app.trace(), "shell32.Shell_NotifyIconW")[0]
    record_before = read_record(wine, app.pid, first_add.args[1].value)
    wait_until(lambda: len(tray_icons(wine)) == 1, 10, what="one icon in Wine's notification area")

    # The taskbar restarts and forgets its icons.
    wine.check("trayforget", f"{app.hwnd:x}", 1)
    wait_until(lambda: not tray_icons(wine), 10, what="the icon to leave Wine's notification area")

    # Another registered message is not mistaken for the broadcast; then the
    # broadcast itself, to every top-level window as the taskbar sends it.
    other, _ = wine.check("trayregmsg", "broadcast", "StillSentinelTrayTestMessage")
    created, _ = wine.check("trayregmsg", "broadcast", "TaskbarCreated")
    assert other["message"] != created["message"]
    number = int(created["message"], 16)

    # Started elevated, the program must let a normal Explorer's broadcast
    # through UIPI (Wine has none, so only the call itself can be seen).
    start = app.trace()
    [registered] = [c for c in prog.calls(start, "user32.RegisterWindowMessageW") if c.args[0].text == "TaskbarCreated"]
    [allowed] = prog.calls(start, "user32.ChangeWindowMessageFilterEx")
    assert registered.retval == number and allowed.index > registered.ret_index
    args = allowed.args
    assert (args[0].value, args[1].int32, args[2].int32, args[3].value) == (app.hwnd, number, 1, 0)  # MSGFLT_ALLOW

    trace = app.wait_trace(lambda t: len(prog.calls(t, "shell32.Shell_NotifyIconW")) >= 2, 10)
    notifies = prog.calls(trace, "shell32.Shell_NotifyIconW")
    assert [(c.args[0].int32, c.args[1].value) for c in notifies] == [(NIM_ADD, first_add.args[1].value)] * 2
    [received] = prog.messages(trace, number, "TaskbarCreated")
    assert received.spans(notifies[1]), "the re-add happens while handling the broadcast"
    # It then goes on to DefWindowProcW, whose answer is the window's answer.
    [default] = default_handling(trace, prog, received, number)
    assert default.index > notifies[1].ret_index and received.retval == default.retval
    [ignored] = prog.messages(trace, int(other["message"], 16), "StillSentinelTrayTestMessage")
    assert not prog.inside(trace, ignored, "shell32.Shell_NotifyIconW")

    assert read_record(wine, app.pid, first_add.args[1].value) == record_before
    wait_until(lambda: len(tray_icons(wine)) == 1, 10, what="the icon to come back")
    assert app.close() == 0


# --- The menu ----------------------------------------------------------------

def test_right_button_release_shows_the_five_item_menu_at_the_pointer(wine):
    app, _, prog = start_traced(wine, QUIET)
    hwnd, pid = app.hwnd, app.pid
    wine.x("mousemove", 300, 200)
    app.post(WM_TRAYICON, 1, 0x205)

    shown, windows = menus_shown(wine, pid, 1)
    assert shown and windows["rect0"].split(",")[:2] == ["300", "200"], "the menu opens at the pointer"
    menu, _ = app.probe("menu", windows["menu0"])
    assert int(menu["count"]) == len(MENU_ITEMS)
    for i, expected in enumerate(MENU_ITEMS):
        item = {k.split(".", 1)[1]: v for k, v in menu.items() if k.startswith(f"item{i}.")}
        if expected is None:
            assert int(item["type"], 16) & MFT_SEPARATOR and item["id"] == "0" and item["text"] == "", item
        else:
            # A plain string item: not checked, greyed, disabled or default, no submenu.
            assert (int(item["id"]), item["text"]) == expected
            assert (item["type"], item["state"], item["submenu"], item["checkbitmaps"]) == ("0x0", "0x0", "0", "0")

    wine.x("key", "Escape")
    assert menus_shown(wine, pid, 0)[0], "Escape did not close the menu"
    trace = app.wait_trace(lambda t: any(m.ret_index for m in tray_callbacks(t, prog, 0x205)))
    [callback] = tray_callbacks(trace, prog, 0x205)
    assert callback.retval == 0

    # The callback's own steps, in order, with their arguments.
    seq = [e for e in prog.calls(trace) if callback.spans(e)]
    _, _, load, sub, track, destroy = relay.ok_sequence(seq, [
        "user32.GetCursorPos", ("user32.SetForegroundWindow", {0: hwnd}),
        ("user32.LoadMenuW", {0: prog.image.start, 1: IDR_TRAYMENU}), ("user32.GetSubMenu", {1: 0}),
        ("user32.TrackPopupMenu", {1: TPM_RIGHTBUTTON, 2: 300, 3: 200, 4: 0, 5: hwnd, 6: 0}), "user32.DestroyMenu"])
    assert sub.args[0].value == load.retval and track.args[0].value == sub.retval
    assert track.args[0].value == int(menu["hmenu"], 16), "the menu read inside is the one that was tracked"
    assert destroy.args[0].value == load.retval
    # Posting WM_NULL after the menu is the documented remedy for a menu that
    # would not close on an outside click; anything else posted here is not.
    posts = [e for e in seq if e.name == "user32.PostMessageW"]
    assert all(p.args[0].value == hwnd and p.args[1].int32 == WM_NULL and p.index > track.ret_index for p in posts)

    after, _ = app.probe("ismenu", menu["hmenu"])
    assert after["ismenu"] == "0", "the loaded menu is destroyed after use"
    assert app.close() == 0


# One program serves all rows: each row's callback is posted and its handling
# found in the trace. The last row proves that the same checks do see a menu.
CALLBACKS = [
    (0x0200, False),       # WM_MOUSEMOVE
    (0x0201, False),       # WM_LBUTTONDOWN
    (0x0202, False),       # WM_LBUTTONUP
    (0x0203, False),       # WM_LBUTTONDBLCLK
    (0x0204, False),       # WM_RBUTTONDOWN
    (0x0206, False),       # WM_RBUTTONDBLCLK
    (0x007B, False),       # WM_CONTEXTMENU
    (0x0400, False),       # NIN_SELECT
    (0x00010205, False),   # WM_RBUTTONUP with an icon id above: the whole lParam counts
    (0x0205, True),        # WM_RBUTTONUP
]


@pytest.fixture(scope="module")
def callback_app(tmp_path_factory):
    with private_wine(tmp_path_factory.mktemp("callbacks")) as wine:
        app, _, prog = start_traced(wine, QUIET, channels=DEF_WINDOW_PROC_DEBUG)
        yield wine, app, prog
        assert app.close() == 0


@pytest.mark.parametrize("lparam,opens", CALLBACKS, ids=[f"lParam={lp:#x}" for lp, _ in CALLBACKS])
def test_only_right_button_release_opens_the_menu(callback_app, lparam, opens):
    wine, app, prog = callback_app
    pid = app.pid
    app.post(WM_TRAYICON, 1, lparam)
    if opens:
        assert menus_shown(wine, pid, 1)[0], "no menu appeared"
    handled = lambda t: [m for m in tray_callbacks(t, prog, lparam) if m.ret_index]  # noqa: E731
    trace = app.wait_trace(handled, 5 if opens else 10)
    if not handled(trace) and menus_shown(wine, pid, 1, 0)[0]:
        # A menu keeps the handler from returning: close it, so that the
        # following rows still meet a program at rest, then report.
        wine.x("key", "Escape")
        trace = app.wait_trace(handled, 10)
        assert opens, f"lParam {lparam:#x} opened a menu"
    [callback] = handled(trace)
    assert callback.retval == 0
    tracked = prog.inside(trace, callback, "user32.TrackPopupMenu")
    loaded = prog.inside(trace, callback, "user32.LoadMenuW")
    assert (len(loaded), len(tracked)) == ((1, 1) if opens else (0, 0))
    assert menus_shown(wine, pid, 0, 3000)[0], "a menu is still shown"
    assert not default_handling(trace, prog, callback, WM_TRAYICON), "a handled callback never reaches DefWindowProcW"


@pytest.mark.parametrize("clicks,callbacks", [(1, [0x201, 0x202]), (2, [0x201, 0x202, 0x203, 0x202])],
                         ids=["left click", "left double click"])
def test_real_left_clicks_on_the_icon_open_nothing(callback_app, clicks, callbacks):
    wine, app, prog = callback_app
    icons = wait_until(lambda: tray_icons(wine), 10, what="the icon in Wine's notification area")
    assert len(icons) == 1, icons
    # Any earlier click must fall out of the double-click time (500 ms) first;
    # the trace's times are the monotonic clock's.
    trace = app.trace()
    last_up = max((m.time for m in prog.messages(trace, WM_TRAYICON) if m.lp == 0x202), default=0)
    time.sleep(max(0, last_up + 0.6 - time.clock_gettime(time.CLOCK_MONOTONIC_RAW)))
    since = len(trace.events)
    x, y = centre(icons[0])
    wine.x("mousemove", x, y, "click", "--repeat", clicks, "--delay", 100, 1)

    def arrived(t):
        return [m.lp for m in prog.messages(t, WM_TRAYICON) if m.index >= since and m.ret_index and m.lp != 0x200]

    trace = app.wait_trace(lambda t: arrived(t) == callbacks, 10)
    assert arrived(trace) == callbacks, "the icon did not pass the clicks on as version-0 callbacks"
    assert not [c for c in prog.calls(trace, "user32.TrackPopupMenu") + prog.calls(trace, "user32.LoadMenuW")
                if c.index >= since]
    assert menus_shown(wine, app.pid, 0, 2000)[0]


# --- Exit ----------------------------------------------------------------------

def choose_exit_by_key(wine, app, window):
    wine.x("key", "x")


def choose_exit_by_click(wine, app, window):
    menu, _ = app.probe("menu", window)
    assert menu["item4.text"] == "終了する(&X)"
    x, y = centre(parse_rect(menu["item4.rect"]))
    wine.x("mousemove", x, y, "click", 1)


@pytest.mark.parametrize("choose", [choose_exit_by_key, choose_exit_by_click], ids=["access key", "click"])
def test_exit_from_the_menu_writes_the_exit_line_then_removes_the_icon(wine, choose):
    if choose is choose_exit_by_key:
        wine.managed()
    app, folder, prog = start_traced(wine, QUIET)
    hwnd = app.hwnd
    icons = wait_until(lambda: tray_icons(wine), 10, what="the icon in Wine's notification area")
    assert len(icons) == 1, icons

    # A real right-click on the icon, then the exit item.
    x, y = centre(icons[0])
    wine.x("mousemove", x, y, "click", 3)
    shown, windows = menus_shown(wine, app.pid, 1)
    assert shown, "the right-click opened no menu"
    choose(wine, app, windows["menu0"])
    assert app.wait_exit(30) == 0

    trace = app.trace()
    [command] = [m for m in prog.messages(trace, WM_COMMAND, "WM_COMMAND") if m.wp & 0xFFFF == IDM_EXIT]
    assert [c.args[0].value for c in prog.inside(trace, command, "user32.DestroyWindow")] == [hwnd]
    [destroy] = prog.messages(trace, 2, "WM_DESTROY")
    assert command.spans(destroy)

    # WM_DESTROY: timers stopped, exit line written, quit posted; in this order.
    _, _, open_, write, _ = relay.ok_sequence([e for e in prog.calls(trace) if destroy.spans(e)], [
        ("user32.KillTimer", {0: hwnd, 1: 1}), ("user32.KillTimer", {0: hwnd, 1: 2}), "kernel32.CreateFileW",
        "kernel32.WriteFile", ("user32.PostQuitMessage", {0: 0})])
    assert "_log\\" in open_.args[0].text, "the exit line must be written by one open of the daily file"
    assert write.args[0].value == open_.retval and write.retval == 1

    # The icon goes after the exit line is on disk, with the record it was added with.
    notifies = prog.calls(trace, "shell32.Shell_NotifyIconW")
    assert [c.args[0].int32 for c in notifies] == [NIM_ADD, NIM_DELETE]
    delete = notifies[-1]
    assert delete.args[1].value == notifies[0].args[1].value
    assert delete.index > write.ret_index and delete.index > command.ret_index
    assert delete.time >= write.time

    # The write was the exit line: the file's last line, exactly that many bytes.
    daily, entries = read_utf8_log(folder)
    assert daily.name == open_.args[0].text.rsplit("\\", 1)[1]
    assert [e.text for e in entries] == [START_TEXT, EXIT_TEXT]
    assert write.args[2].int32 == len(rebuild(entries[-1:]))

    wait_until(lambda: not tray_icons(wine), 10, what="the icon to leave Wine's notification area")


# --- Open log folder -----------------------------------------------------------

def test_open_log_folder_with_logging_off_makes_the_folder_then_opens_it(wine):
    record = wine.tmp / "opened.txt"
    wine.record_verbs(record, ("Folder", "Directory"))
    app, folder, prog = start_traced(wine, {"TimerIntervalSec": 3600, "LogIntervalSec": 0})
    logs = log_folder(folder)
    assert not logs.exists(), "with logging off nothing makes the folder at start"

    app.post(WM_COMMAND, IDM_OPENLOG)
    wait_until(lambda: read_records(record), 20, what="the shell to run the folder's open verb")
    trace = app.wait_trace(lambda t: any(c.ret_index for c in prog.calls(t, "shell32.ShellExecuteW")))

    [command] = prog.messages(trace, WM_COMMAND, "WM_COMMAND")
    [made] = prog.inside(trace, command, "kernel32.CreateDirectoryW")
    [opened] = prog.inside(trace, command, "shell32.ShellExecuteW")
    expected = windows_path(logs)
    assert made.args[0].text == expected and made.retval == 1
    assert made.ret_index < opened.index, "the folder is made before the shell is asked to open it"
    assert (opened.args[0].value, opened.args[3].value, opened.args[5].int32) == (0, 0, 1)  # no owner or parameters; SW_SHOWNORMAL
    assert [opened.args[1].text, opened.args[2].text, opened.args[4].text] == ["open", expected, expected]

    assert logs.is_dir() and os.listdir(logs) == [], "logging is off: the folder stays empty"
    [run] = read_records(record)
    assert (run["argc"], run["arg1"], run["cwd"]) == ("1", expected, expected)

    # A folder path already known is used unchanged: no second creation,
    # even when the folder has gone meanwhile.
    logs.rmdir()
    app.post(WM_COMMAND, IDM_OPENLOG)
    trace = app.wait_trace(lambda t: sum(1 for c in prog.calls(t, "shell32.ShellExecuteW") if c.ret_index) >= 2)
    second = prog.calls(trace, "shell32.ShellExecuteW")[1]
    assert [second.args[1].text, second.args[2].text, second.args[4].text] == ["open", expected, expected]
    assert len(prog.calls(trace, "kernel32.CreateDirectoryW")) == 1
    assert not logs.exists()
    assert app.close() == 0


def test_open_log_folder_does_nothing_when_the_folder_cannot_be_made(wine):
    record = wine.tmp / "opened.txt"
    wine.record_verbs(record, ("Folder", "Directory"))
    app, folder, prog = start_traced(wine, {"TimerIntervalSec": 3600, "LogIntervalSec": 0})
    with immutable(folder):
        app.post(WM_COMMAND, IDM_OPENLOG)
        trace = app.wait_trace(lambda t: any(m.ret_index for m in prog.messages(t, WM_COMMAND, "WM_COMMAND")))
        [command] = prog.messages(trace, WM_COMMAND, "WM_COMMAND")
        [made] = prog.inside(trace, command, "kernel32.CreateDirectoryW")
        assert made.retval == 0, "the folder was made although its parent is unwritable"
        assert not prog.inside(trace, command, "shell32.ShellExecuteW")
        # Silent: no window of the program became visible.
        assert [w for w in wine.windows(app.pid) if w["visible"] == "1"] == []

    # The next command tries again, and now succeeds.
    app.post(WM_COMMAND, IDM_OPENLOG)
    wait_until(lambda: read_records(record), 20, what="the second command to open the folder")
    trace = app.trace()
    assert [c.retval for c in prog.calls(trace, "kernel32.CreateDirectoryW")] == [0, 1]
    assert log_folder(folder).is_dir()
    assert app.close() == 0
