"""Support for the About box tests: the program started with aboutprobe.dll
inside it, the real pointer and keyboard (xdotool), screen pixels, and the
relay trace of the program's GUI thread read as an ordered list of events.
"""
import os
import re
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from conftest import BUILD, SSTEST, WAIT_SECONDS, parse_fields, wait_until  # noqa: F401 (re-exported)
from conftest import windows_path as win_path

PROBE_DLL = BUILD / "tests" / "helpers" / "aboutprobe" / "aboutprobe.dll"

ABOUT_CLASS = "#32770"
ABOUT_TITLE = "バージョン情報 StillSentinel"
SETTINGS_TITLE = "設定"

WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
IDOK = 1
IDM_EXIT, IDM_ABOUT, IDM_SETTINGS = 40001, 40002, 40003
IDC_ABOUT_ICON, IDC_ABOUT_LINK = 2001, 2002

BLUE = (0, 0, 255)
RED = (255, 0, 0)




def parse_rect(text):
    return tuple(int(v) for v in text.split(","))


def parse_children(lines):
    """The 'child ...' lines of sstest dump / probe layout as dicts (text last)."""
    children = []
    for line in lines:
        if not line.startswith("child "):
            continue
        _, item = parse_fields(line)
        item["id"] = int(item["id"])
        item["rect"] = parse_rect(item["rect"])
        for key in ("style", "exstyle"):
            if key in item:
                item[key] = int(item[key], 16)
        children.append(item)
    return children


def prepare_prefix(wine, url_log):
    """Settings every About test needs in its prefix, made before the program starts.

    - Without a window manager Wine waits 2 s for every hidden captioned
      window to be withdrawn; unmanaged windows skip that wait (and Wine
      draws their caption itself, which the screenshots show).
    - Web addresses go to sstest's recorder instead of Wine's browser helper.
    """
    wine.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "N")
    command = f'"{win_path(SSTEST)}" aboutrecord "{win_path(url_log)}" "%1"'
    for protocol in ("http", "https"):
        wine.run("reg", "add", rf"HKCR\{protocol}\shell\open\command", "/ve", "/d", command, "/f", check=True)




# ---- screen pixels ----

@dataclass
class Image:
    width: int
    height: int
    pixels: bytes  # RGB rows

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def count(self, colour):
        return sum(1 for y in range(self.height) for x in range(self.width) if self.at(x, y) == colour)

    def longest_run(self, colour):
        """The longest horizontal run of exactly this colour in any row."""
        best = 0
        for y in range(self.height):
            run = 0
            for x in range(self.width):
                run = run + 1 if self.at(x, y) == colour else 0
                best = max(best, run)
        return best


def parse_ppm(data):
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + width * height * 3]
    assert len(pixels) == width * height * 3
    return Image(width, height, pixels)


# ---- relay trace ----

CALL_RE = re.compile(r"^(?P<time>[\d.]+):(?P<tid>[0-9a-f]{4}):(?P<kind>Call|Ret) +(?P<what>.*)$")
WINPROC_RE = re.compile(r"(?P<type>window|dialog) proc (?P<proc>[0-9A-F]+) \(hwnd=(?P<hwnd>[0-9A-F]+),msg=(?P<msg>[^,]+),"
                        r"wp=(?P<wp>[0-9a-f]+),lp=(?P<lp>[0-9a-f]+)\)(?: retval=(?P<retval>[0-9a-f]+))?")
API_CALL_RE = re.compile(r"(?P<func>\w+\.\w+)\((?P<args>.*)\) ret=(?P<caller>[0-9a-f]+)$")
API_RET_RE = re.compile(r"(?P<func>\w+\.\w+)\(\) retval=(?P<retval>[0-9a-f]+) ret=(?P<caller>[0-9a-f]+)$")


@dataclass
class Event:
    index: int
    kind: str        # "Call" or "Ret"
    what: str        # "window proc", "dialog proc" or "api"
    name: str        # message name (e.g. WM_SETFONT) or function (e.g. shell32.ShellExecuteW)
    hwnd: int = 0
    wp: int = 0
    lp: int = 0
    proc: int = 0
    args: tuple = ()
    caller: int = 0
    retval: int = None
    line: str = ""


def split_args(text):
    """Relay arguments: numbers, with a quoted string after a pointer when Wine shows one."""
    args = []
    for part in re.findall(r'(?:[^,"]|"(?:[^"\\]|\\.)*")+', text):
        part = part.strip()
        match = re.match(r'^([0-9a-f]+)(?: L?"(.*)")?$', part)
        if match and match.group(2) is not None:
            args.append(match.group(2))
        elif match:
            args.append(int(match.group(1), 16))
        else:
            args.append(part)
    return tuple(args)


def gui_events(text, thread_id):
    """The relay trace of one thread as events, in order (hook procs left out)."""
    tid = f"{thread_id:04x}"
    events = []
    for line in text.splitlines():
        match = CALL_RE.match(line)
        if not match or match["tid"] != tid:
            continue
        what = match["what"]
        proc = WINPROC_RE.match(what)
        if proc:
            events.append(Event(len(events), match["kind"], proc["type"] + " proc", proc["msg"],
                                hwnd=int(proc["hwnd"], 16), wp=int(proc["wp"], 16), lp=int(proc["lp"], 16),
                                proc=int(proc["proc"], 16),
                                retval=int(proc["retval"], 16) if proc["retval"] else None, line=line))
            continue
        api = API_CALL_RE.match(what) if match["kind"] == "Call" else API_RET_RE.match(what)
        if api:
            events.append(Event(len(events), match["kind"], "api", api["func"], caller=int(api["caller"], 16),
                                args=split_args(api["args"]) if match["kind"] == "Call" else (),
                                retval=int(api["retval"], 16) if match["kind"] == "Ret" else None, line=line))
    return events


def low32(value):
    return value & 0xFFFFFFFF


# ---- the program with the probe inside ----

class AboutApp:
    """StillSentinel.exe running in the test's prefix with aboutprobe.dll loaded."""

    def __init__(self, wine, relay=(), folder_name="app"):
        self.wine = wine
        self.url_log = wine.tmp / "urls.txt"
        prepare_prefix(wine, self.url_log)
        if relay:
            wine.relay(*relay)
        self.app = wine.start(wine.install(folder_name))
        main = wine.wait_window()
        self.main = main["hwnd"]
        self.pid = int(main["pid"])
        code, values, lines = wine.sstest("aboutinject", self.pid, win_path(PROBE_DLL))
        assert code == 0, f"probe not loaded: {lines}"
        ping = self.probe("ping")
        assert ping["hooks"] == "1", ping
        self.thread_id = int(ping["thread"])
        self.exe_base = int(ping["exe"], 16)
        self.exe_end = self.exe_base + int(ping["exe_size"], 16)

    # -- asking --
    def probe(self, *request):
        code, values, lines = self.wine.sstest("aboutprobe", self.pid, *request)
        assert code == 0, f"probe {request}: {lines}"
        return values

    def probe_lines(self, *request):
        code, _, lines = self.wine.sstest("aboutprobe", self.pid, *request)
        assert code == 0, f"probe {request}: {lines}"
        return lines

    def cycles(self):
        """The probe's record of every About box seen, one dict per opening."""
        records = []
        for line in self.probe_lines("cycles"):
            if line.startswith("cycle "):
                fields = dict(part.split("=", 1) for part in line.split()[2:])
                records.append(fields)
        return records

    def from_exe(self, event):
        return self.exe_base <= event.caller < self.exe_end

    def trace(self):
        # Read from the file: the harness closes its handle once the program has exited.
        if not self.app.stderr_file.closed:
            self.app.stderr_file.flush()
        return Path(self.app.stderr_path).read_text(errors="replace")

    def events(self):
        return gui_events(self.trace(), self.thread_id)

    # -- the About box --
    def post(self, hwnd, message, wparam=0, lparam=0):
        code, _, _ = self.wine.sstest("post", hwnd, message, wparam, lparam)
        assert code == 0

    def open_about(self):
        self.post(self.main, WM_COMMAND, IDM_ABOUT)
        return self.wait_shown(ABOUT_TITLE)

    def wait_shown(self, title):
        window = self.wine.wait_window(ABOUT_CLASS, title, timeout_ms=WAIT_SECONDS * 1000)
        shown = wait_until(lambda: self.window_line(window["hwnd"]).get("visible") == "1", timeout=10)
        assert shown, f"{title} never became visible"
        return window

    def window_line(self, hwnd):
        code, _, lines = self.wine.sstest("dump", hwnd)
        if code != 0 or not lines:
            return {}
        return parse_fields(lines[0])[1]

    def dump(self, hwnd):
        code, _, lines = self.wine.sstest("dump", hwnd)
        assert code == 0, lines
        return self.window_line(hwnd), parse_children(lines)

    def wait_gone(self, hwnd, timeout_ms=10000):
        code, _, _ = self.wine.sstest("waitgone", hwnd, timeout_ms)
        return code == 0

    def link_rect(self, dialog_hwnd):
        _, children = self.dump(dialog_hwnd)
        return next(c["rect"] for c in children if c["id"] == IDC_ABOUT_LINK)

    def urls_opened(self):
        if not self.url_log.exists():
            return []
        return self.url_log.read_text(encoding="utf-8").splitlines()

    # -- pointer, keyboard, screen --
    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env={**os.environ, "DISPLAY": self.wine.xvfb.display},
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       timeout=WAIT_SECONDS, check=True)

    def move_pointer(self, x, y, timeout=10):
        """Moves the real pointer onto one of the program's windows and waits
        until its GUI thread has taken that move from the queue, so that what
        is asked next is answered after the move was handled."""
        before = int(self.probe("lastmove")["moves"])
        self.xdotool("mousemove", x, y)

        def arrived():
            last = self.probe("lastmove")
            return int(last["moves"]) > before and (int(last["x"]), int(last["y"])) == (x, y)
        assert wait_until(arrived, timeout=timeout), f"the pointer move to {(x, y)} never reached the program"

    def park_pointer(self):
        """Moves the pointer to a screen corner, off every window of the program."""
        self.xdotool("mousemove", 1, 1)
        time.sleep(0.2)  # X reports no motion there, so there is nothing to wait for

    def grab(self, rect):
        left, top, right, bottom = rect
        result = subprocess.run(["import", "-display", self.wine.xvfb.display, "-window", "root", "-crop",
                                 f"{right - left}x{bottom - top}+{left}+{top}", "+repage", "-depth", "8", "ppm:-"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=WAIT_SECONDS, check=True)
        return parse_ppm(result.stdout)

    def exit_code(self, timeout=WAIT_SECONDS):
        return self.app.wait_exit(timeout)


def center(rect):
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2
