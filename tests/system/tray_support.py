"""Support for the tray tests: reading Wine's relay trace, asking the probe DLL
inside the program, finding Wine's notification-area window and driving it
with real X input, and pointing the shell's folder verb at a recorder.
"""
import re
import subprocess
from pathlib import Path

from conftest import BUILD, SSTEST, WAIT_SECONDS, wait_until  # noqa: F401 (re-exported)
from conftest import windows_path as wine_path

PROBE_DLL = BUILD / "tests" / "helpers" / "probe" / "ssprobe.dll"

WM_NULL = 0x0000
WM_COMMAND = 0x0111
WM_TRAYICON = 0x8001
IDM_EXIT = 40001
IDM_OPENLOG = 40004
NIM_ADD = 0
NIM_DELETE = 2
TPM_RIGHTBUTTON = 2

# Wine's own notification area when no X tray is running (plain Xvfb).
WINE_TRAY_ICON_CLASS = "__winex11_tray_icon"

START_TEXT = "StillSentinelが起動しました。"
EXIT_TEXT = "StillSentinelが終了しました。"






# --- Relay trace -----------------------------------------------------------

_LINE = re.compile(r"^(\d+\.\d+):([0-9a-f]{4}):(Call|Ret)\s+(.*)$")
_PROC = re.compile(r"^window proc ([0-9A-Fa-f]+) \((.*)\)(?: retval=([0-9a-f]+))?$")
_FUNC = re.compile(r"^([A-Za-z0-9_]+)\.([A-Za-z0-9_]+)\((.*)\)(?: retval=([0-9a-f]+))? ret=([0-9a-f]+)$")


def _split_args(text):
    """Splits a relay argument list at commas outside quoted strings."""
    args, current, quoted, escaped = [], "", False, False
    for ch in text:
        if escaped:
            escaped = False
        elif ch == "\\" and quoted:
            escaped = True
        elif ch == '"':
            quoted = not quoted
        elif ch == "," and not quoted:
            args.append(current)
            current = ""
            continue
        current += ch
    if text:
        args.append(current)
    return args


def _unescape(text):
    """Undoes Wine's debugstr_w escaping."""
    out, i = "", 0
    simple = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t"}
    while i < len(text):
        ch = text[i]
        if ch == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            if nxt in simple:
                out += simple[nxt]
                i += 2
                continue
            if re.fullmatch(r"[0-9a-fA-F]{4}", text[i + 1:i + 5]):
                out += chr(int(text[i + 1:i + 5], 16))
                i += 5
                continue
        out += ch
        i += 1
    return out


class Arg:
    """One relay argument: its value and, for a string pointer, the text."""

    def __init__(self, raw):
        self.raw = raw
        m = re.match(r'^([0-9a-fA-F]+)(?: L"(.*)")?$', raw.strip())
        self.value = int(m.group(1), 16) if m else None
        self.text = _unescape(m.group(2)) if m and m.group(2) is not None else None

    @property
    def int32(self):
        """The value of a 32-bit parameter: the register's upper half is undefined."""
        return self.value & 0xFFFFFFFF

    def __repr__(self):
        return self.raw


class Event:
    """A 'Call' line of the trace, with its matching 'Ret' line once found."""

    def __init__(self, index, time_s, tid, name, args, caller=None):
        self.index, self.time, self.tid, self.name, self.args = index, time_s, tid, name, args
        self.caller = caller  # the return address: which module made the call
        self.retval = None
        self.ret_index = None

    def __repr__(self):
        return f"#{self.index} {self.tid} {self.name}({','.join(map(repr, self.args))}) -> {self.retval}"


class Message(Event):
    """A call of a window procedure: hwnd, msg (as Wine prints it), wp, lp."""

    def __init__(self, index, time_s, tid, fields):
        super().__init__(index, time_s, tid, "window proc", [])
        self.fields = fields
        self.hwnd = int(fields["hwnd"], 16)
        self.msg = fields["msg"]
        self.wp = int(fields["wp"], 16)
        self.lp = int(fields["lp"], 16)

    def is_msg(self, number, name=None):
        """Wine prints a known message by name, a registered one by its quoted name, others in hex."""
        if name is not None and self.msg in (name, f'"{name}"'):
            return True
        return number is not None and self.msg.lower() in (f"{number:04x}", f"{number:x}")

    def __repr__(self):
        return f"#{self.index} {self.tid} proc(hwnd={self.hwnd:x},msg={self.msg},wp={self.wp:x},lp={self.lp:x}) -> {self.retval}"


class Trace:
    """The Call/Ret lines of a +relay,+timestamp trace, in file order."""

    def __init__(self, text):
        self.events = []
        open_calls = {}
        lines = text.splitlines()
        self.end = len(lines)  # the index the next line will have
        for index, line in enumerate(lines):
            m = _LINE.match(line)
            if not m:
                continue
            time_s, tid, kind, rest = float(m.group(1)), m.group(2), m.group(3), m.group(4)
            pm = _PROC.match(rest)
            if pm:
                fields = dict(part.split("=", 1) for part in pm.group(2).split(",") if "=" in part)
                if not {"hwnd", "msg", "wp", "lp"} <= fields.keys():
                    continue
                key = (tid, "window proc", pm.group(2))
                if kind == "Call":
                    event = Message(index, time_s, tid, fields)
                    self.events.append(event)
                    open_calls.setdefault(key, []).append(event)
                elif open_calls.get(key):
                    event = open_calls[key].pop()
                    event.retval, event.ret_index = int(pm.group(3) or "0", 16), index
                continue
            fm = _FUNC.match(rest)
            if not fm:
                continue
            name = f"{fm.group(1).lower()}.{fm.group(2)}"
            key = (tid, name, fm.group(5))
            if kind == "Call":
                event = Event(index, time_s, tid, name, [Arg(a) for a in _split_args(fm.group(3))], int(fm.group(5), 16))
                self.events.append(event)
                open_calls.setdefault(key, []).append(event)
            elif open_calls.get(key):
                event = open_calls[key].pop()
                event.retval, event.ret_index = int(fm.group(4) or "0", 16), index

    def calls(self, function, tid=None, callers=None):
        """Calls of 'dll.Function' (the dll name in any case), optionally only those on one
        thread, and only those made from the address range callers (a module's image)."""
        dll, _, func = function.partition(".")
        name = f"{dll.lower()}.{func}"
        return [e for e in self.events if e.name == name and (tid is None or e.tid == tid)
                and (callers is None or e.caller in callers)]

    def messages(self, hwnd, tid=None):
        return [e for e in self.events
                if isinstance(e, Message) and e.hwnd == hwnd and (tid is None or e.tid == tid)]

    def thread_of_window(self, hwnd):
        """The thread that runs hwnd's window procedure: the program's GUI thread."""
        for e in self.events:
            if isinstance(e, Message) and e.hwnd == hwnd:
                return e.tid
        return None

    def on_thread(self, tid):
        return [e for e in self.events if e.tid == tid]


def read_trace(app):
    """The app's stderr so far (the relay trace); safe also after the app has ended."""
    return Path(app.stderr_path).read_text(errors="replace")


def wait_trace(app, condition, timeout=WAIT_SECONDS):
    """Waits until condition(Trace) holds; returns the last Trace read."""
    holder = {}

    def check():
        holder["trace"] = Trace(read_trace(app))
        return condition(holder["trace"])

    wait_until(check, timeout)
    return holder["trace"]


def image_size(exe):
    """SizeOfImage from a PE32+ file's optional header."""
    data = Path(exe).read_bytes()[:4096]
    pe = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[pe + 24 + 56:pe + 24 + 60], "little")


# --- sstest and the probe ----------------------------------------------------

def hwnd_of(window):
    return int(window["hwnd"], 16)


def probe(wine, pid, command, *args, timeout_ms=10000):
    """Asks the probe DLL inside process pid; returns (exit code, key=value answers)."""
    code, values, _ = wine.sstest("trayprobe", pid, wine_path(PROBE_DLL), timeout_ms, command, *args,
                                  timeout=timeout_ms // 1000 + 10)
    return code, values


def menus_shown(wine, pid, count, timeout_ms=10000):
    """Waits until process pid shows exactly count popup menus; returns (reached, answers)."""
    code, values, _ = wine.sstest("traymenus", pid, timeout_ms, count, timeout=timeout_ms // 1000 + 10)
    return code == 0, values


def top_windows(wine, pid=0):
    """Every top-level window and child as dicts: hwnd, pid, class, visible, rect, level."""
    _, _, lines = wine.sstest("traywindows", pid)
    windows = []
    for line in lines:
        level, _, rest = line.partition(" ")
        fields = dict(re.findall(r"(\w+)=(\S*)", rest.split(" title=")[0]))
        if "hwnd" in fields:
            fields["level"] = level
            fields["rect"] = tuple(int(v) for v in fields["rect"].split(","))
            windows.append(fields)
    return windows


def wine_tray_icons(wine):
    """The icon windows in Wine's own notification area, as screen rectangles."""
    return [w["rect"] for w in top_windows(wine) if w["class"] == WINE_TRAY_ICON_CLASS and w["visible"] == "1"]


def read_record(wine, pid, address, size=976):
    code, values, _ = wine.sstest("trayreadmem", pid, hex(address), size)
    assert code == 0, f"cannot read {size} bytes at {address:#x} in process {pid}"
    return bytes.fromhex(values["bytes"])


def x_input(wine, *args):
    """Real X input on the test's display through xdotool."""
    subprocess.run(["xdotool", *map(str, args)], env={**wine.env, "DISPLAY": wine.xvfb.display},
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=15, check=True)


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


# --- Program files and the shell ---------------------------------------------

def write_settings(folder, user="tester", **values):
    """Writes the per-user INI beside the exe before the program starts."""
    lines = ["[StillSentinel]"] + [f"{key}={value}" for key, value in values.items()]
    (folder / f"{user}_StillSentinel.ini").write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))


def point_folder_verbs_at_recorder(wine, record_file):
    """Makes the shell's 'open' on a folder run sstest's recorder instead of
    Wine's file browser (whose DDE route is removed for that)."""
    command = f'"{wine_path(SSTEST)}" trayrecord "{wine_path(record_file)}" "%1"'
    for cls in ("Folder", "Directory"):
        wine.reg_add(rf"HKCR\{cls}\shell\open\command", "", command)
    wine.run("reg", "delete", r"HKCR\Folder\shell\open\ddeexec", "/f")


def read_records(record_file):
    """The recorder's runs: one dict (cwd, argc, arg1...) per run."""
    if not record_file.exists():
        return []
    runs = []
    for line in record_file.read_text(encoding="utf-8").splitlines():
        key, _, value = line.partition("=")
        if key == "cwd":
            runs.append({})
        runs[-1][key] = value
    return runs
