"""Support for the About box tests: the program with probe.dll inside it,
its web addresses recorded instead of opened, the real pointer (xdotool)
and the screen's pixels.
"""
import re
from itertools import groupby

from conftest import ABOUT_TITLE, DIALOG_CLASS, IDM_ABOUT, WM_COMMAND, parse_fields, read_records
from relay import Own
from waits import wait_until

IDC_ABOUT_ICON, IDC_ABOUT_LINK = 2001, 2002
BLUE, RED = (0, 0, 255), (255, 0, 0)


def control(children, cid):
    """The first child with this control id."""
    return next(c for c in children if c["id"] == cid)


class Image:
    """An RGB screen grab, read from binary PPM."""

    def __init__(self, data):
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        assert header, data[:20]
        self.width, height = int(header[1]), int(header[2])
        pixels = data[header.end():]
        assert len(pixels) == self.width * height * 3, (self.width, height, len(pixels))
        self.rows = [[tuple(pixels[i:i + 3]) for i in range(start, start + self.width * 3, 3)]
                     for start in range(0, len(pixels), self.width * 3)]

    def count(self, colour):
        return sum(row.count(colour) for row in self.rows)

    def longest_run(self, colour):
        """The longest horizontal run of exactly this colour in any row."""
        return max((len(list(run)) for row in self.rows for pixel, run in groupby(row) if pixel == colour), default=0)


class AboutApp:
    """StillSentinel.exe in the test's prefix with probe.dll loaded."""

    def __init__(self, wine, relay=()):
        self.wine, self.url_log = wine, wine.tmp / "urls.txt"
        wine.record_verbs(self.url_log, ("http", "https"))
        self.app = wine.launch(relay=relay)
        self.main = self.app.hwnd
        ping = self.probe("ping")
        assert ping["hooks"] == "1", ping
        self.own = Own.of_probe(ping)

    def probe(self, *request):
        return self.app.probe(*request)[0]

    def cycles(self):
        """The probe's record of every About box seen, one dict per opening."""
        return [fields for kind, fields in map(parse_fields, self.app.probe("cycles")[1]) if kind == "cycle"]

    def events(self):
        """Every Call and Ret of the trace so far; an event's index is its place in this list."""
        return self.app.trace().events

    def open_about(self):
        """Opens the box as the tray menu does, away from the pointer (which
        would otherwise undo a link made hot by a move from the probe), at a
        screen corner off every window of the program; returns its handle
        once it shows."""
        self.wine.x("mousemove", 1, 1)
        self.app.post(WM_COMMAND, IDM_ABOUT)
        return int(self.wine.wait_window(DIALOG_CLASS, ABOUT_TITLE, shown=True)["hwnd"], 16)

    def visible(self, hwnd):
        window, _ = self.wine.dump(hwnd)
        return window is not None and window["visible"] == "1"

    def children(self, hwnd):
        window, children = self.wine.dump(hwnd)
        assert window, f"window {hwnd:x} is gone"
        return children

    def urls_opened(self):
        return [run["arg1"] for run in read_records(self.url_log)]

    def move_pointer(self, x, y, timeout=10):
        """Moves the real pointer and waits until the GUI thread has taken that
        move from its queue, so that what is asked next is answered after it."""
        before = int(self.probe("lastmove")["moves"])
        self.wine.x("mousemove", x, y)

        def arrived():
            last = self.probe("lastmove")
            return int(last["moves"]) > before and (int(last["x"]), int(last["y"])) == (x, y)
        wait_until(arrived, timeout, what=f"the pointer move to {(x, y)} to reach the program")

    def grab(self, rect):
        return Image(self.wine.screenshot("-", rect, "ppm"))
