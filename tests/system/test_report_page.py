"""The report's page in headless Chromium, driven over the DevTools protocol through a pipe: its bars, links
and printed sheets against the figures of the collection it was made from.
Run directly, it saves the README's picture: python3 tests/system/test_report_page.py [PNG]"""
import base64
import datetime
import json
import os
import select
import signal
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pytest

from report_support import (LOCK_TEXT, NATIVE, RESUME_TEXT, STATE_TEXT, SUSPEND_TEXT, UNLOCK_TEXT, report_rows,
                            run_lines, write_collection)
from waits import WAIT_SECONDS

CHROMIUM = Path("/usr/bin/chromium")
LOGOFF_TEXT = "セッション終了（ログオフ）開始。"
STATES = ("active", "locked", "suspended", "off")
DAY = [datetime.date(2026, 12, d) for d in range(1, 5)]


COLLECTION = {  # source folder: its lines (heartbeats of 60 s and of 30 s)
    "PC001/tanaka_log": [
        # A lunch lock and a short sleep.
        *run_lines(DAY[0], "08:30:00", "17:45:00", 60, [("12:00:30", LOCK_TEXT), ("13:00:30", UNLOCK_TEXT),
                                                        ("15:00:30", SUSPEND_TEXT), ("15:20:30", RESUME_TEXT)],
                   asleep=[("15:00:30", "15:20:30")]),
        # Off for an hour between two runs.
        *run_lines(DAY[1], "09:00:00", "12:00:00", 60), *run_lines(DAY[1], "13:00:00", "18:00:00", 60),
        # Dies without a word at four; the next morning's start tells.
        *run_lines(DAY[2], "09:00:00", "16:00:00", 60, end_text=STATE_TEXT),
        *run_lines(DAY[3], "09:00:00", "17:00:00", 60),
    ],
    "PC002/suzuki_log": [
        # A silence without a sleep is off; the logoff ends the day.
        *run_lines(DAY[0], "10:00:00", "19:00:00", 30, [("11:00:15", LOCK_TEXT), ("11:30:15", UNLOCK_TEXT)],
                   asleep=[("14:00:00", "14:20:00")], end_text=LOGOFF_TEXT),
        # Locked over midnight, the program running.
        *run_lines(DAY[1], "10:00:00", datetime.datetime(2026, 12, 3, 17), 30,
                   [("23:00:30", LOCK_TEXT), (datetime.datetime(2026, 12, 3, 8, 0, 30), UNLOCK_TEXT)]),
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


class Browser:
    """Headless Chromium reading DevTools commands on its fd 3 and answering on its fd 4, each message JSON
    ended by a NUL byte; one page, attached flat. Every message not an answer is kept in events."""

    def __init__(self, profile):
        (to_browser, self.commands), (self.answers, from_browser) = os.pipe(), os.pipe()
        # Through new numbers first, in case a pipe end already is 3 or 4.
        plumb = lambda: [os.dup2(fd, n) for fd, n in zip([os.dup(to_browser), os.dup(from_browser)], (3, 4))]  # noqa
        self.proc = subprocess.Popen(
            [str(CHROMIUM), "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-sync",
             "--disable-quic", "--disable-background-networking", "--disable-component-update",
             "--remote-debugging-pipe", f"--user-data-dir={profile}", "about:blank"], pass_fds=(3, 4), preexec_fn=plumb,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(to_browser), os.close(from_browser)
        self.buffer, self.sent, self.events, self.page = b"", 0, [], None
        self.tab()

    def tab(self):
        """A new blank tab, attached: the one the calls go to from now on. Returns its target id."""
        self.session = {}
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = {"sessionId": self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]}
        return target

    def message(self, deadline):
        while b"\0" not in self.buffer:
            ready = select.select([self.answers], [], [], max(0, deadline - time.monotonic()))[0]
            chunk = os.read(self.answers, 1 << 20) if ready else b""
            assert chunk, "Chromium did not answer" if not ready else "Chromium closed its DevTools pipe"
            self.buffer += chunk
        message, _, self.buffer = self.buffer.partition(b"\0")
        return json.loads(message)

    def call(self, method, **params):
        self.sent += 1
        os.write(self.commands, json.dumps({"id": self.sent, "method": method, "params": params, **self.session})
                 .encode() + b"\0")
        deadline = time.monotonic() + WAIT_SECONDS
        while (message := self.message(deadline)).get("id") != self.sent:
            self.events.append(message)
        assert "error" not in message, f"{method}: {message['error']}"
        return message["result"]

    def open(self, url):
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.call(f"{domain}.enable")
        self.call("Emulation.setDeviceMetricsOverride", width=1280, height=900, deviceScaleFactor=1, mobile=False)
        self.call("Page.navigate", url=url)
        self.page = url
        deadline = time.monotonic() + WAIT_SECONDS
        while not any(e.get("method") == "Page.loadEventFired" for e in self.events):
            self.events.append(self.message(deadline))

    def click(self, selector):
        """Scrolls the element into view and clicks its middle as a mouse would."""
        x, y = self.evaluate(
            f"(e => {{ e.scrollIntoView({{block: 'center'}}); const r = e.getBoundingClientRect(); "
            f"return [r.left + r.width / 2, r.top + r.height / 2]; }})(document.querySelector({json.dumps(selector)}))")
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def wait_for(self, expression):
        deadline = time.monotonic() + WAIT_SECONDS
        while not self.evaluate(expression):
            assert time.monotonic() < deadline, f"never true: {expression}"
            self.call("Runtime.evaluate", expression="new Promise(r => requestAnimationFrame(r))", awaitPromise=True)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        assert "exceptionDetails" not in result, result["exceptionDetails"]
        return result["result"]["value"]

    def close(self):
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)  # its own group: the browser and its helpers
        self.proc.wait(timeout=WAIT_SECONDS)
        os.close(self.commands), os.close(self.answers)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()


# Per day: its attributes, the bar's box, each state's rendered width, the drawn stretch's edges, and its
# marks. In CSS pixels.
MEASURE = """[...document.querySelectorAll('.day')].map(day => {
  const box = day.querySelector('svg.bar').getBoundingClientRect(), widths = {}, edges = [Infinity, -Infinity];
  for (const rect of day.querySelectorAll('svg.bar rect')) {
    const state = [...rect.classList].find(c => c.startsWith('s-')), r = rect.getBoundingClientRect();
    if (!state) continue;
    widths[state.slice(2)] = (widths[state.slice(2)] || 0) + r.width;
    edges[0] = Math.min(edges[0], r.left), edges[1] = Math.max(edges[1], r.right);
  }
  const count = kind => day.querySelectorAll('.m-' + kind).length;
  return {source: day.dataset.source, date: day.dataset.date, left: box.left, width: box.width, widths, edges,
          data: {active: day.dataset.activeS, locked: day.dataset.lockedS, suspended: day.dataset.suspendedS,
                 off: day.dataset.offS},
          marks: {start: count('start'), exit: count('exit'), abnormal: count('abnormal')}};
})"""

# Per link of the overview and the problem days: the day it says ("2026-12-04 PC001/tanaka_log": the grid's month,
# column and row, or the list's words) and the day row its target is, the same way.
LINKS = """[...document.querySelectorAll('.overview td a, .problem-days a')].map(a => {
  const target = document.getElementById(a.hash.slice(1)), grid = a.closest('table.grid');
  let said = a.textContent.replace(/（.）/, '');
  if (grid) {
    const [year, month] = grid.caption.textContent.match(/\\d+/g), cell = a.closest('td');
    const day = grid.tHead.rows[0].cells[cell.cellIndex].textContent;
    said = `${year}-${month.padStart(2, '0')}-${day.padStart(2, '0')} ${cell.parentElement.cells[0].textContent}`;
  }
  return {href: a.getAttribute('href'), said, inGrid: !!grid, flagged: grid && a.textContent === '!',
          target: target && target.matches('tr.day') ? `${target.dataset.date} ${target.dataset.source}` : null};
})"""


@pytest.fixture
def browser(tmp_path):
    if not CHROMIUM.exists() or not NATIVE.exists() or not shutil.which("pdftotext"):
        pytest.fail(f"needs {CHROMIUM} and pdftotext (scripts/setup-debian.sh), and the native report {NATIVE}")
    with Browser(tmp_path / "profile") as session:
        yield session


def test_page_draws_its_days_as_their_figures_links_them_and_prints_each_sheets_head(browser, tmp_path):
    write_collection(tmp_path / "logs", COLLECTION)
    rows = report_rows(tmp_path / "out", tmp_path / "logs")
    browser.open((tmp_path / "out" / "report.html").resolve().as_uri())
    days = browser.evaluate(MEASURE)

    assert [e for e in browser.events if e.get("method") in ("Runtime.exceptionThrown", "Runtime.consoleAPICalled")
            or e.get("method") == "Log.entryAdded" and e["params"]["entry"]["level"] == "error"] == []
    assert [e["params"]["request"]["url"] for e in browser.events
            if e.get("method") == "Network.requestWillBeSent"] == [browser.page]

    # The figures are those of the collection, one row and one bar per source and day.
    got = {(row["source"], row["date"]): row for row in rows}
    assert {key: (row["first"][11:], row["last"][11:], *(row[f"{s}_s"] for s in STATES), row["flags"])
            for key, row in got.items()} == {(source, day.isoformat()): e for (source, day), e in EXPECTED.items()}
    assert sorted((d["source"], d["date"]) for d in days) == sorted(got)

    for day in days:
        row, where = got[(day["source"], day["date"])], f"{day['source']} {day['date']}"
        assert {s: int(day["data"][s]) for s in STATES} == {s: row[f"{s}_s"] for s in STATES}, where
        # Rendered widths against the figures, within a pixel's worth of seconds (which also holds the bar to
        # its 24-hour box, stretched).
        pixel = 86400 / day["width"]
        for state in STATES:
            drawn = day["widths"].get(state, 0) * pixel
            assert abs(drawn - row[f"{state}_s"]) <= pixel, f"{where} {state}: drawn {drawn:.0f} s"
        # Drawn from the first active second to the last (the next date's as 24:00 on), and nothing beside.
        midnight = datetime.datetime.fromisoformat(day["date"])
        edges = [(x - day["left"]) * pixel for x in day["edges"]]
        wanted = [(datetime.datetime.fromisoformat(row[key]) - midnight).total_seconds() for key in ("first", "last")]
        assert all(abs(a - b) <= pixel for a, b in zip(edges, wanted)), f"{where}: {edges} {wanted}"
        # A mark at each start and exit line of the day, and one more at a start that ended a crash.
        assert day["marks"] == {"start": row["starts"], "exit": row["exits"],
                                "abnormal": int("abnormal_end" in row["flags"])}, where

    # Every day with a row has a cell, every flagged day is listed and marked, each link's target the day it says.
    links = browser.evaluate(LINKS)
    assert [link for link in links if link["target"] != link["said"]] == []
    assert sorted(link["target"] for link in links if link["inGrid"]) == sorted(f"{d} {s}" for s, d in got)
    flagged = sorted(f"{row['date']} {row['source']}" for row in rows if row["flags"])
    assert sorted(link["target"] for link in links if not link["inGrid"]) == flagged != []
    assert sorted(link["target"] for link in links if link["flagged"]) == flagged

    # Followed in a short window, a link brings its day's row to the top.
    browser.call("Emulation.setDeviceMetricsOverride", width=1280, height=300, deviceScaleFactor=1, mobile=False)
    flagged = next(row for row in rows if row["flags"])
    target = next(link for link in links if link["flagged"])["href"]
    browser.click(f".overview a[href='{target}']")
    browser.wait_for(f"location.hash === '{target}'")
    assert abs(browser.evaluate(f"document.querySelector('{target}').getBoundingClientRect().top")) <= 1
    assert browser.evaluate(f"document.querySelector('{target}').dataset.date") == flagged["date"]

    # Printed on paper short enough that a sheet runs over pages (the page asks for A4; a month runs over too):
    # each page of a sheet has its head.
    browser.evaluate("document.head.insertAdjacentHTML('beforeend', '<style>@page { size: 297mm 55mm }</style>') ?? 1")
    pdf = tmp_path / "report.pdf"
    pdf.write_bytes(base64.b64decode(browser.call("Page.printToPDF", printBackground=True,
                                                  preferCSSPageSize=True)["data"]))
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, check=True,
                          timeout=WAIT_SECONDS).stdout.decode()
    pages = text.split("\f")
    sheets = [i for i, page in enumerate(pages) if "ユーザー tanaka" in page or "ユーザー suzuki" in page]
    names = list(COLLECTION)
    assert len(sheets) > len(names), f"each sheet on one page: {len(pages)} pages"
    for i in range(sheets[0], sheets[-1] + 1):
        assert any(name in pages[i] for name in names), pages[i]
        for words in ("5:00", "22:00", "ロック解除中", "スリープ"):
            assert words in pages[i], f"page {i + 1} without {words}: {pages[i]}"


if __name__ == "__main__":  # the README's picture: the first screen of the department example's page
    sys.path.insert(0, str(Path(__file__).parents[2] / "bench"))
    from department_example import write_example
    path = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parents[2] / "docs/screenshots/report.png"
    with tempfile.TemporaryDirectory(prefix="stillsentinel-page-") as tmp, Browser(Path(tmp) / "profile") as session:
        report_rows(Path(tmp) / "out", *write_example(Path(tmp)))
        session.open((Path(tmp) / "out" / "report.html").resolve().as_uri())
        shot = session.call("Page.captureScreenshot", format="png",
                            clip={"x": 0, "y": 0, "width": 1280, "height": 900, "scale": 1})
        path.write_bytes(base64.b64decode(shot["data"]))
    print(path)
