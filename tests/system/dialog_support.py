"""Shared support for the settings dialog and Startup shortcut system tests.

`Session` runs one StillSentinel.exe in the test's own Wine prefix (from the
`wine` fixture) and drives its settings dialog through sstest: opening it
with the tray command, setting field texts, pressing buttons, reading the
fields, the INI file, the event log and the relay trace.
"""
import re
import struct
import subprocess
import time
from pathlib import Path

from conftest import EXE, WAIT_SECONDS, parse_fields, windows_path

WM_CLOSE = 0x0010
WM_KEYDOWN = 0x0100
WM_KEYUP = 0x0101
WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
WM_TIMER = 0x0113
SC_CLOSE = 0xF060
BM_SETCHECK = 0x00F1
BM_CLICK = 0x00F5
UDM_SETPOS = 0x0467
VK_ESCAPE = 0x1B
VK_UP = 0x26

IDOK = 1
IDCANCEL = 2
IDM_ABOUT = 40002
IDM_SETTINGS = 40003
TIMER_IDLE = 1
TIMER_LOG = 2

SETTINGS_TITLE = "設定"
ABOUT_TITLE = "バージョン情報 StillSentinel"
DIALOG_CLASS = "#32770"
SESSION_STATE_PREFIX = "セッション状態"

# Settings key -> (edit id, up-down id), in the order the program saves them.
FIELDS = {
    "TimerIntervalSec": (1001, 1002),
    "IdleLimitSeconds": (1003, 1004),
    "IdleMoveThreshold": (1005, 1006),
    "LogIntervalSec": (1007, 1008),
}
KEYS = list(FIELDS)
STARTUP_CHECK = 1009
SHORTCUT_NAME = "StillSentinel.lnk"
USER_SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"

# Everything the dialog tests may want to see in the relay trace. Wine
# forwards some of these (DeleteFileW to kernelbase, CoCreateInstance to
# combase), so both names are listed.
RELAY_FUNCTIONS = (
    "user32.KillTimer", "user32.SetTimer", "user32.GetCursorPos", "user32.MessageBoxW",
    "kernel32.WritePrivateProfileStringW", "kernel32.DeleteFileW", "kernelbase.DeleteFileW",
    "ole32.CoCreateInstance", "combase.CoCreateInstance",
)


def ini_text(timer=10, idle=900, threshold=3, log=30):
    return (f"[StillSentinel]\r\nTimerIntervalSec={timer}\r\nIdleLimitSeconds={idle}\r\n"
            f"IdleMoveThreshold={threshold}\r\nLogIntervalSec={log}\r\n")


def parse_ini(text):
    """{key: value text} of the [StillSentinel] section."""
    values, section = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1]
        elif section == "StillSentinel" and "=" in line:
            key, _, value = line.partition("=")
            values[key.strip()] = value.strip()
    return values


RELAY_CALL = re.compile(r"^[\d.]+:[0-9a-f]+:Call (\w+)\.(\w+)\((.*)\) ret=[0-9a-f]+$")
RELAY_STRING = re.compile(r'L"((?:[^"\\]|\\.)*)"')


class RelayCall:
    def __init__(self, module, name, args):
        self.module = module.lower()
        self.name = name
        self.raw = args
        self.strings = [s.replace("\\\\", "\\") for s in RELAY_STRING.findall(args)]
        # Numeric arguments (hex, as the trace prints them); strings count as None.
        self.numbers = []
        for part in RELAY_STRING.sub("", args).split(","):
            part = part.strip().split(" ")[0]
            try:
                self.numbers.append(int(part, 16))
            except ValueError:
                self.numbers.append(None)

    def __repr__(self):
        return f"{self.module}.{self.name}({self.raw})"


def relay_trace(text):
    calls = []
    for line in text.splitlines():
        match = RELAY_CALL.match(line)
        if match:
            calls.append(RelayCall(*match.groups()))
    return calls


class Session:
    """One running StillSentinel.exe with its settings dialog driven from outside."""

    def __init__(self, wine, ini=None, relay=True, name="app", more_relay=()):
        self.wine = wine
        self.folder = wine.install(name)
        self.ini_path = self.folder / f"{wine.env['USER']}_StillSentinel.ini"
        self.log_folder = self.folder / f"{wine.env['USER']}_log"
        if ini is not None:
            self.ini_path.write_bytes(ini.encode("ascii"))
        # With no window manager on the display, Wine waits 2 s for one to
        # withdraw every managed window it hides (each dialog close).
        # Unmanaged windows close at once.
        wine.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "N")
        if relay:
            wine.relay(*RELAY_FUNCTIONS, *more_relay)
        self.app = wine.start(self.folder)
        main = wine.wait_window()
        self.main = int(main["hwnd"], 16)
        self.pid = int(main["pid"])

    # --- sstest plumbing -------------------------------------------------
    def sstest(self, *args):
        code, values, lines = self.wine.sstest(*args)
        assert code == 0, f"sstest {args} failed with {code}: {lines}"
        return values, lines

    def post_main(self, message, wparam=0, lparam=0):
        self.sstest("post", f"{self.main:x}", message, wparam, lparam)

    # --- the dialog ------------------------------------------------------
    def run_dialog(self, button=0, texts=None):
        """Opens the dialog with the settings command, sets texts and clicks button (0: leaves it open).

        Returns (dialog handle, state on opening: texts, ranges, positions, check box).
        """
        args = []
        for key, text in (texts or {}).items():
            args += [FIELDS[key][0], text]
        values, lines = self.sstest("dlgrun", f"{self.main:x}", button, 30000, *args)
        if button:
            assert values.get("gone") == "1", f"the dialog stayed open: {lines}"
        return values["hwnd"], values

    def open_dialog(self):
        """Posts the settings command and returns the new dialog's handle."""
        return self.run_dialog()[0]

    def apply(self, texts):
        """One dialog round: set the texts, press OK."""
        self.run_dialog(IDOK, texts)

    def peek(self):
        """One dialog round that only looks: the field texts on opening, then Cancel."""
        _, values = self.run_dialog(IDCANCEL)
        return self.field_texts(values)

    @staticmethod
    def field_texts(values):
        return {key: values[f"text{edit}"] for key, (edit, _) in FIELDS.items()}

    def wait_dialog(self, title):
        found = self.wine.wait_window(DIALOG_CLASS, title, 15000)
        assert int(found["pid"]) == self.pid
        return found["hwnd"]

    def state(self, dialog):
        values, _ = self.sstest("dlgstate", dialog)
        return values

    def texts(self, dialog):
        return self.field_texts(self.state(dialog))

    def set_texts(self, dialog, texts):
        """texts: {settings key: text}, set with WM_SETTEXT, which ES_NUMBER does not filter."""
        args = []
        for key, text in texts.items():
            args += [FIELDS[key][0], text]
        if args:
            self.sstest("dlgset", dialog, *args)

    def set_check(self, dialog, checked):
        self.sstest("dlgsend", dialog, STARTUP_CHECK, BM_SETCHECK, 1 if checked else 0, 0)

    def click(self, dialog, control):
        self.sstest("dlgpost", dialog, control, BM_CLICK, 0, 0)

    def wait_gone(self, dialog, timeout_ms=15000):
        code, _, _ = self.wine.sstest("waitgone", dialog, timeout_ms)
        return code == 0

    def press_ok(self, dialog):
        self.click(dialog, IDOK)
        assert self.wait_gone(dialog), "the dialog stayed open after OK"

    def press_cancel(self, dialog):
        self.click(dialog, IDCANCEL)
        assert self.wait_gone(dialog), "the dialog stayed open after Cancel"

    def top_windows(self):
        """The app's top-level windows as dicts (hwnd, owner, visible, class, title)."""
        _, lines = self.sstest("dlgwindows", self.pid)
        windows = []
        for line in lines:
            if not line.startswith("window "):
                continue
            windows.append(parse_fields(line, "title")[1])
        return windows

    def dialogs(self):
        return [w for w in self.top_windows() if w["class"] == DIALOG_CLASS]

    # --- files and traces ------------------------------------------------
    def ini(self):
        return parse_ini(self.ini_path.read_text(encoding="ascii"))

    def ini_numbers(self):
        return {key: int(value) for key, value in self.ini().items() if key in FIELDS}

    def log_lines(self):
        lines = []
        for path in sorted(self.log_folder.glob("*.txt")) if self.log_folder.exists() else []:
            lines += path.read_text(encoding="utf-8-sig", errors="replace").splitlines()
        return lines

    def session_state_count(self):
        return sum(1 for line in self.log_lines() if line.split(" - ", 1)[-1].startswith(SESSION_STATE_PREFIX))

    def wait_session_state_count(self, at_least, timeout=WAIT_SECONDS):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            count = self.session_state_count()
            if count >= at_least:
                return count
            time.sleep(0.2)
        return self.session_state_count()

    def trace_mark(self):
        """A point in the relay trace; calls_since() returns what came after it."""
        return len(relay_trace(self.app.stderr_text()))

    def calls_since(self, mark, *names):
        calls = relay_trace(self.app.stderr_text())[mark:]
        return [c for c in calls if not names or c.name in names]

    def timer_calls_since(self, mark):
        """KillTimer/SetTimer calls on the main window, as (name, id, period or None)."""
        result = []
        for call in self.calls_since(mark, "KillTimer", "SetTimer"):
            if call.numbers[0] != self.main:
                continue  # controls run timers of their own (the up-down's auto-repeat)
            period = call.numbers[2] if call.name == "SetTimer" else None
            result.append((call.name, call.numbers[1], period))
        return result


def startup_folder(wine):
    """The prefix's Startup folder, found rather than assumed."""
    matches = list((wine.prefix / "drive_c" / "users").glob(
        "*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp"))
    assert len(matches) == 1, f"expected one Startup folder, found {matches}"
    return matches[0]




def exe_target(folder):
    return windows_path(Path(folder) / EXE.name)


def read_lnk(path):
    """Reads the Shell Link header fields and string data ourselves.

    Returns flags, show command, hotkey, icon index and the strings that are
    present. Wine counts a terminating NUL in each string's length: strip it.
    """
    data = Path(path).read_bytes()
    assert data[:4] == b"\x4c\x00\x00\x00", "not a Shell Link header"
    flags, = struct.unpack_from("<I", data, 0x14)
    icon_index, show, hotkey = struct.unpack_from("<iIH", data, 0x38)
    offset = 0x4C
    if flags & 0x01:  # HasLinkTargetIDList
        size, = struct.unpack_from("<H", data, offset)
        offset += 2 + size
    if flags & 0x02:  # HasLinkInfo
        size, = struct.unpack_from("<I", data, offset)
        offset += size
    strings = {}
    for bit, name in ((0x04, "name"), (0x08, "relative_path"), (0x10, "working_dir"),
                      (0x20, "arguments"), (0x40, "icon_location")):
        if flags & bit:
            count, = struct.unpack_from("<H", data, offset)
            offset += 2
            text = data[offset:offset + 2 * count].decode("utf-16-le")
            offset += 2 * count
            strings[name] = text.rstrip("\0")
    return {"flags": flags, "show": show, "hotkey": hotkey, "icon_index": icon_index, "strings": strings}


def lnkinfo(path):
    """lnkinfo's reading of the shortcut: {field: value} of its 'Link information' block."""
    result = subprocess.run(["lnkinfo", str(path)], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=WAIT_SECONDS, check=True)
    fields, flags = {}, []
    for line in result.stdout.decode("utf-8", errors="replace").splitlines():
        stripped = line.strip()
        if line.startswith("\t") and not line.startswith("\t\t") and ":" in stripped:
            key, _, value = stripped.partition(":")
            fields.setdefault(key.strip(), value.strip().rstrip("\0"))
        elif stripped.startswith("Contains "):
            flags.append(stripped)
    return fields, flags


def xdotool(wine, *args):
    return subprocess.run(["xdotool", *args], env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=WAIT_SECONDS)


# Predefined control classes that a template may name by ordinal.
CLASS_ORDINALS = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC", 0x83: "LISTBOX", 0x84: "SCROLLBAR", 0x85: "COMBOBOX"}


def _sz_or_ord(data, offset):
    """A template's name-or-ordinal field: (value, next offset)."""
    first, = struct.unpack_from("<H", data, offset)
    if first == 0xFFFF:
        ordinal, = struct.unpack_from("<H", data, offset + 2)
        return ordinal, offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def _align4(offset):
    return (offset + 3) & ~3


def parse_dialogex(data):
    """Decodes an extended dialog template (DLGTEMPLATEEX) into plain values."""
    version, signature, help_id, ex_style, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    offset = 26
    menu, offset = _sz_or_ord(data, offset)
    window_class, offset = _sz_or_ord(data, offset)
    title, offset = _sz_or_ord(data, offset)
    dialog = {"version": version, "signature": signature, "help_id": help_id, "ex_style": ex_style,
              "style": style, "rect": (x, y, cx, cy), "menu": menu, "class": window_class, "title": title}
    if style & 0x40:  # DS_SETFONT
        points, weight, italic, charset = struct.unpack_from("<HHBB", data, offset)
        face, offset = _sz_or_ord(data, offset + 6)
        dialog["font"] = (face, points, weight, italic, charset)
    controls = []
    for _ in range(count):
        offset = _align4(offset)
        help_id, ex_style, style, x, y, cx, cy, control_id = struct.unpack_from("<IIIhhhhi", data, offset)
        offset += 24
        control_class, offset = _sz_or_ord(data, offset)
        text, offset = _sz_or_ord(data, offset)
        extra, = struct.unpack_from("<H", data, offset)
        offset += 2 + extra
        if isinstance(control_class, int):
            control_class = CLASS_ORDINALS.get(control_class, control_class)
        controls.append({"help_id": help_id, "ex_style": ex_style, "style": style, "rect": (x, y, cx, cy),
                         "id": control_id, "class": control_class, "text": text, "extra": extra})
    dialog["controls"] = controls
    return dialog


def dialog_resource(exe_path, dialog_id):
    """{language id: template bytes} of one RT_DIALOG resource, read with pefile."""
    import pefile  # Debian: python3-pefile

    pe = pefile.PE(str(exe_path), fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_DIALOG"]:
            continue
        for entry in kind.directory.entries:
            if entry.id != dialog_id:
                continue
            for language in entry.directory.entries:
                item = language.data.struct
                found[language.id] = pe.get_data(item.OffsetToData, item.Size)
    return found


def mul_div(value, numerator, denominator):
    """MulDiv for non-negative values: rounded to nearest, halves up."""
    return (2 * value * numerator + denominator) // (2 * denominator)


def parse_dump(lines):
    """sstest dump output: the window line and the child lines as dicts (text last)."""
    parsed = []
    for line in lines:
        if not line.startswith(("window ", "child ")):
            continue
        kind, entry = parse_fields(line)
        entry["kind"] = kind
        parsed.append(entry)
    return parsed
