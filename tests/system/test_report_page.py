"""The report's page in a real browser (Debian's Chromium, headless, driven over
the DevTools protocol through a pipe): it loads with no console error and no
request but its own file, every day's bar is drawn as wide as the figures it
stands for, and the figures are those of the log collection it was made from.

Run directly, it saves the README's picture of the page:
    python3 tests/system/test_report_page.py [docs/screenshots/report.png]
"""
import base64
import datetime
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pytest

from report_support import (LOCK_TEXT, NATIVE, RESUME_TEXT, STATE_TEXT, STATES, SUSPEND_TEXT, UNLOCK_TEXT,
                            day_seconds, jsonl_rows, run_lines, run_native, write_source)
from waits import WAIT_SECONDS

CHROMIUM = Path("/usr/bin/chromium")
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--remote-debugging-pipe"]

# --- The log collection: two sources, a few days each ------------------------
DAY = [datetime.date(2026, 12, d) for d in range(1, 5)]
LOGOFF_TEXT = "セッション終了（ログオフ）開始。"


def at(day, hms):
    return datetime.datetime.combine(day, datetime.time.fromisoformat(hms))


COLLECTION = {  # source folder: its lines (heartbeats of 60 s and of 30 s)
    "PC001/tanaka_log": [
        # A lunch lock and a short sleep.
        *run_lines(DAY[0], "08:30:00", "17:45:00", 60, [("12:00:30", LOCK_TEXT), ("13:00:30", UNLOCK_TEXT),
                                                        ("15:00:30", SUSPEND_TEXT), ("15:20:30", RESUME_TEXT)],
                   asleep=[("15:00:30", "15:20:30")]),
        # Off for an hour between two runs.
        *run_lines(DAY[1], "09:00:00", "12:00:00", 60),
        *run_lines(DAY[1], "13:00:00", "18:00:00", 60),
        # Dies without a word at four; the next morning's start tells.
        *run_lines(DAY[2], "09:00:00", "16:00:00", 60, end_text=STATE_TEXT),
        *run_lines(DAY[3], "09:00:00", "17:00:00", 60),
    ],
    "PC002/suzuki_log": [
        # A silence without a sleep is off; the logoff ends the day.
        *run_lines(DAY[0], "10:00:00", "19:00:00", 30, [("11:00:15", LOCK_TEXT), ("11:30:15", UNLOCK_TEXT)],
                   asleep=[("14:00:00", "14:20:00")], end_text=LOGOFF_TEXT),
        # Locked over midnight, the program running.
        *run_lines(DAY[1], "10:00:00", at(DAY[2], "17:00:00"), 30, [("23:00:30", LOCK_TEXT),
                                                                    (at(DAY[2], "08:00:30"), UNLOCK_TEXT)]),
    ],
}
# (source folder, day): first, last, active, locked, suspended, off, flags
EXPECTED = {
    ("PC001/tanaka_log", DAY[0]): ("08:30:00", "17:45:00", 33300 - 3600 - 1200, 3600, 1200, 0, []),
    ("PC001/tanaka_log", DAY[1]): ("09:00:00", "18:00:00", 32400 - 3600, 0, 0, 3600, []),
    ("PC001/tanaka_log", DAY[2]): ("09:00:00", "16:00:00", 25200, 0, 0, 0, []),
    ("PC001/tanaka_log", DAY[3]): ("09:00:00", "17:00:00", 28800, 0, 0, 0, ["abnormal_end"]),
    # The silence runs from the last line before it (13:59:30) to the first after it (14:20:30).
    ("PC002/suzuki_log", DAY[0]): ("10:00:00", "19:00:00", 32400 - 1800 - 1260, 1800, 0, 1260, []),
    ("PC002/suzuki_log", DAY[1]): ("10:00:00", "23:00:30", 46830, 0, 0, 0, []),
    ("PC002/suzuki_log", DAY[2]): ("08:00:30", "17:00:00", 32370, 0, 0, 0, []),
}


def make_report(root, out):
    for folder, lines in COLLECTION.items():
        write_source(root / folder, lines)
    result = run_native("--out", out, root)
    assert result.returncode == 0, result.stderr.decode(errors="replace")
    return jsonl_rows((out / "report.jsonl").read_bytes())


# --- Chromium over the DevTools pipe -------------------------------------------
class Browser:
    """Headless Chromium reading DevTools commands on its fd 3 and answering on
    its fd 4, each message JSON ended by a NUL byte; one page, attached flat."""

    def __init__(self, profile):
        to_browser, self.commands = os.pipe()
        self.answers, from_browser = os.pipe()

        def plumb():
            # Through high numbers first, in case a pipe end already is 3 or 4.
            high = [os.dup(to_browser), os.dup(from_browser)]
            os.dup2(high[0], 3)
            os.dup2(high[1], 4)

        self.proc = subprocess.Popen([str(CHROMIUM), *CHROMIUM_FLAGS, f"--user-data-dir={profile}", "about:blank"],
                                     pass_fds=(3, 4), preexec_fn=plumb, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(to_browser)
        os.close(from_browser)
        self.buffer, self.next_id, self.events, self.session = b"", 0, [], None
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]

    def _message(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.answers], [], [], left)[0]:
                raise TimeoutError("Chromium did not answer")
            chunk = os.read(self.answers, 1 << 20)
            if not chunk:
                raise RuntimeError("Chromium closed its DevTools pipe")
            self.buffer += chunk
        message, _, self.buffer = self.buffer.partition(b"\0")
        return json.loads(message)

    def call(self, method, **params):
        """Sends one command (to the page once attached); returns its result, keeping events met meanwhile."""
        self.next_id += 1
        command = {"id": self.next_id, "method": method, "params": params}
        if self.session:
            command["sessionId"] = self.session
        os.write(self.commands, json.dumps(command).encode() + b"\0")
        deadline = time.monotonic() + WAIT_SECONDS
        while True:
            message = self._message(deadline)
            if message.get("id") == self.next_id:
                assert "error" not in message, f"{method}: {message['error']}"
                return message["result"]
            self.events.append(message)

    def wait_event(self, method):
        deadline = time.monotonic() + WAIT_SECONDS
        while not any(e.get("method") == method for e in self.events):
            self.events.append(self._message(deadline))

    def open(self, url, width=1280, height=900):
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.call(f"{domain}.enable")
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1, mobile=False)
        self.call("Page.navigate", url=url)
        self.wait_event("Page.loadEventFired")

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        assert "exceptionDetails" not in result, result["exceptionDetails"]
        return result["result"]["value"]

    def errors(self):
        """Every console error, uncaught exception and logged error the page gave."""
        found = []
        for e in self.events:
            method, params = e.get("method"), e.get("params", {})
            if method == "Runtime.exceptionThrown":
                found.append(params["exceptionDetails"])
            elif method == "Runtime.consoleAPICalled" and params["type"] in ("error", "assert"):
                found.append(params["args"])
            elif method == "Log.entryAdded" and params["entry"]["level"] == "error":
                found.append(params["entry"])
        return found

    def requests(self):
        return [e["params"]["request"]["url"] for e in self.events if e.get("method") == "Network.requestWillBeSent"]

    def screenshot(self, path):
        height = self.evaluate("Math.ceil(document.body.getBoundingClientRect().bottom) + 16")
        shot = self.call("Page.captureScreenshot", format="png", captureBeyondViewport=True,
                         clip={"x": 0, "y": 0, "width": 1280, "height": min(height, 1600), "scale": 1})
        Path(path).write_bytes(base64.b64decode(shot["data"]))

    def close(self):
        for sig in (signal.SIGTERM, signal.SIGKILL):
            if self.proc.poll() is None:
                os.killpg(self.proc.pid, sig)
                try:
                    self.proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
        os.close(self.commands)
        os.close(self.answers)


# Per day: its attributes, the bar's box, each state's rendered width, the
# drawn stretch's edges, and its marks. In CSS pixels.
MEASURE = """[...document.querySelectorAll('.day')].map(day => {
  const bar = day.querySelector('svg.bar'), box = bar.getBoundingClientRect(), widths = {};
  let left = Infinity, right = -Infinity;
  for (const rect of bar.querySelectorAll('rect')) {
    const state = [...rect.classList].find(c => c.startsWith('s-'));
    if (!state) continue;
    const r = rect.getBoundingClientRect();
    widths[state.slice(2)] = (widths[state.slice(2)] || 0) + r.width;
    left = Math.min(left, r.left); right = Math.max(right, r.right);
  }
  return {source: day.dataset.source, date: day.dataset.date, viewBox: bar.getAttribute('viewBox'),
          aspect: bar.getAttribute('preserveAspectRatio'), left: box.left, width: box.width,
          data: {active: day.dataset.activeS, locked: day.dataset.lockedS,
                 suspended: day.dataset.suspendedS, off: day.dataset.offS},
          widths, drawnLeft: left, drawnRight: right,
          marks: {start: day.querySelectorAll('.m-start').length, exit: day.querySelectorAll('.m-exit').length,
                  abnormal: day.querySelectorAll('.m-abnormal').length}};
})"""


@pytest.fixture
def browser(tmp_path):
    if not CHROMIUM.exists() or not NATIVE.exists():
        pytest.fail(f"needs {CHROMIUM} (scripts/setup-debian.sh) and the native report {NATIVE}")
    session = Browser(tmp_path / "profile")
    try:
        yield session
    finally:
        session.close()


def test_page_draws_each_day_as_wide_as_its_figures_with_no_error_and_no_request(browser, tmp_path):
    rows = make_report(tmp_path / "logs", tmp_path / "out")
    page = (tmp_path / "out" / "report.html").resolve()
    browser.open(page.as_uri())
    days = browser.evaluate(MEASURE)

    assert browser.errors() == []
    assert browser.requests() == [page.as_uri()]

    # The figures are those of the collection, one row and one bar per source and day.
    got = {(row["source"], row["date"]): row for row in rows}
    assert sorted(got) == sorted((source, day.isoformat()) for source, day in EXPECTED)
    for (source, day), (first, last, *figures, flags) in EXPECTED.items():
        row = got[(source, day.isoformat())]
        assert (row["first"][11:], row["last"][11:], *(row[f"{s}_s"] for s in STATES), row["flags"]) == \
            (first, last, *figures, flags), (source, day)
    assert sorted((d["source"], d["date"]) for d in days) == sorted(got)

    for day in days:
        row = got[(day["source"], day["date"])]
        where = f"{day['source']} {day['date']}"
        assert (day["viewBox"], day["aspect"]) == ("0 0 86400 24", "none"), where
        assert {s: int(day["data"][s]) for s in STATES} == {s: row[f"{s}_s"] for s in STATES}, where
        # Rendered widths against the figures, within a pixel's worth of seconds.
        pixel = 86400 / day["width"]
        for state in STATES:
            drawn = day["widths"].get(state, 0) * pixel
            assert abs(drawn - row[f"{state}_s"]) <= pixel, f"{where} {state}: drawn {drawn:.0f} s"
        # Drawn from the first active second to the last, and nothing beside.
        date = datetime.date.fromisoformat(day["date"])
        edges = [(day["drawnLeft"] - day["left"]) * pixel, (day["drawnRight"] - day["left"]) * pixel]
        expected_edges = [day_seconds(row["first"], date), day_seconds(row["last"], date)]
        assert all(abs(a - b) <= pixel for a, b in zip(edges, expected_edges)), f"{where}: {edges} {expected_edges}"
        # A mark at each start and exit line of the day, and one more at a start that ended a crash.
        assert day["marks"] == {"start": row["starts"], "exit": row["exits"],
                                "abnormal": int("abnormal_end" in row["flags"])}, where


def save_screenshot(path):
    with tempfile.TemporaryDirectory(prefix="stillsentinel-page-") as tmp:
        make_report(Path(tmp) / "logs", Path(tmp) / "out")
        browser = Browser(Path(tmp) / "profile")
        try:
            browser.open((Path(tmp) / "out" / "report.html").resolve().as_uri())
            browser.screenshot(path)
        finally:
            browser.close()
    print(path)


if __name__ == "__main__":
    save_screenshot(Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "docs"
                    / "screenshots" / "report.png")
