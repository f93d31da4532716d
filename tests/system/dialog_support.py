"""Support for the settings dialog and Startup shortcut tests: `Session` is one
StillSentinel.exe whose settings dialog is driven from outside through sstest."""
from pathlib import Path

from conftest import DIALOG_CLASS, EXE, IDCANCEL, IDM_SETTINGS, IDOK, SETTINGS_TITLE, WM_COMMAND, windows_path
from ini import KEYS, ini_path, ini_values, read_ini
from log_support import log_texts
from relay import Own
from waits import WAIT_SECONDS, wait_until

WM_SYSCOMMAND, SC_CLOSE = 0x0112, 0xF060
BM_SETCHECK, BM_CLICK, UDM_SETPOS = 0x00F1, 0x00F5, 0x0467
VK_ESCAPE, VK_UP = 0x1B, 0x26
TIMER_IDLE, TIMER_LOG = 1, 2

# Settings key -> (edit id, up-down id), in the order the program saves them.
FIELDS = dict(zip(KEYS, ((1001, 1002), (1003, 1004), (1005, 1006), (1007, 1008))))
STARTUP_CHECK = 1009
SHORTCUT_NAME = "StillSentinel.lnk"
USER_SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"
SESSION_STATE_PREFIX = "セッション状態"  # both the state's report and the failed query's

# Everything the dialog tests may want to see in the relay trace.
RELAY_FUNCTIONS = (
    "user32.KillTimer", "user32.SetTimer", "user32.GetCursorPos", "user32.MessageBoxW",
    "kernel32.WritePrivateProfileStringW", "kernel32.DeleteFileW", "ole32.CoCreateInstance",
)


def function(event):
    """A traced call's function name without its dll."""
    return event.name.partition(".")[2]


def strings(event):
    return [a.text for a in event.args if a.text is not None]


class Session:
    """One running StillSentinel.exe with its settings dialog driven from outside."""

    def __init__(self, wine, ini=None, relay=True, more_relay=()):
        self.wine = wine
        self.app = wine.launch(ini=ini, relay=(*RELAY_FUNCTIONS, *more_relay) if relay else ())
        self.folder, self.main, self.pid = self.app.folder, self.app.hwnd, self.app.pid
        self.ini_path = ini_path(self.folder, wine.env["USER"])

    # --- the dialog ------------------------------------------------------
    def open_dialog(self):
        """Opens the dialog as the tray menu does; returns its handle once it shows."""
        self.app.post(WM_COMMAND, IDM_SETTINGS)
        return self.wine.wait_window(DIALOG_CLASS, SETTINGS_TITLE, shown=True)["hwnd"]

    def run_dialog(self, button=0, texts=None):
        """Opens the dialog, sets texts and presses button (0: leaves it open).
        Returns (dialog handle, state on opening: texts, ranges, positions, check box)."""
        dialog = self.open_dialog()
        state = self.state(dialog)
        self.set_texts(dialog, texts)
        if button:
            self.press(dialog, button)
        return dialog, state

    def apply(self, texts):
        self.run_dialog(IDOK, texts)

    def peek(self):
        """One dialog round that only looks: the field texts on opening, then Cancel."""
        return field_texts(self.run_dialog(IDCANCEL)[1])

    def state(self, dialog):
        return self.wine.check("dlgstate", dialog)[0]

    def texts(self, dialog):
        return field_texts(self.state(dialog))

    def set_texts(self, dialog, texts):
        """texts: {settings key: text}, set with WM_SETTEXT, which ES_NUMBER does not filter."""
        if texts:
            self.wine.check("dlgset", dialog, *[part for key, text in texts.items() for part in (FIELDS[key][0], text)])

    def set_check(self, dialog, checked):
        self.wine.check("send", f"{dialog}/{STARTUP_CHECK}", BM_SETCHECK, 1 if checked else 0, 0)

    def click(self, dialog, control):
        self.wine.check("post", f"{dialog}/{control}", BM_CLICK, 0, 0)

    def press(self, dialog, button):
        self.click(dialog, button)
        assert self.wine.wait_gone(dialog), f"the dialog stayed open after button {button}"

    def dialogs(self):
        """The program's dialogs and boxes (top-level windows) as dicts (hwnd, owner, visible, title...)."""
        return [w for w in self.wine.windows(self.pid) if w["level"] == "top" and w["class"] == DIALOG_CLASS]

    # --- files and traces ------------------------------------------------
    def ini_file(self):
        return read_ini(self.folder, self.wine.env["USER"])

    def ini(self):
        return ini_values(self.ini_file())

    def ini_numbers(self):
        return {key: int(value) for key, value in self.ini().items() if key in FIELDS}

    def session_state_count(self):
        return sum(text.startswith(SESSION_STATE_PREFIX) for text in log_texts(self.folder, self.wine.env["USER"]))

    def wait_session_state_count(self, at_least, what, timeout=WAIT_SECONDS):
        wait_until(lambda: self.session_state_count() >= at_least, timeout, what=what)

    def trace_mark(self):
        """A point in the relay trace; calls_since() returns what came after it."""
        return len(self.app.trace().events)

    def calls_since(self, mark, *functions):
        """The program's calls made after mark, of the named functions (all without names)."""
        trace = self.app.trace()
        return Own.of_window(trace, self.main).calls(trace, *functions, since=mark)

    def timer_calls_since(self, mark):
        """KillTimer/SetTimer calls on the main window, as (name, id, period or None)."""
        return [(function(c), c.args[1], c.args[2] if function(c) == "SetTimer" else None)
                for c in self.calls_since(mark, "user32.KillTimer", "user32.SetTimer")
                # controls run timers of their own (the up-down's auto-repeat)
                if c.args[0] == self.main]


def field_texts(values):
    return {key: values[f"text{edit}"] for key, (edit, _) in FIELDS.items()}


def startup_folder(wine):
    """The prefix's Startup folder, found rather than assumed."""
    matches = list((wine.prefix / "drive_c" / "users").glob(
        "*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp"))
    assert len(matches) == 1, f"expected one Startup folder, found {matches}"
    return matches[0]


def exe_target(folder):
    return windows_path(Path(folder) / EXE.name)
