#!/usr/bin/env python3
"""The report's page for the benchmark's year (20 PCs, the weekdays of 2025; see report_bench.py)
in headless Chromium, beside an empty page: its size, when the top of the page is first drawn
(first contentful paint) and when the whole page is loaded and laid out.

Each page is opened --runs times in a fresh tab of one browser; the median is printed.
A measurement, not a test: nothing here fails on a slow machine.
Usage: python3 bench/page_bench.py [--data /var/tmp/stillsentinel-report-year] [--runs 5]
"""
import argparse
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "bench"))
sys.path.insert(0, str(ROOT / "tests" / "system"))
from report_bench import make_year  # noqa: E402
from report_support import NATIVE  # noqa: E402
from test_report_page import Browser  # noqa: E402

# Milliseconds from the navigation's start: the first contentful paint (the empty page has none), and the
# first frame after the load event, when everything is parsed and laid out.
TIMES = """new Promise(done => requestAnimationFrame(() => requestAnimationFrame(() => {
  const paint = performance.getEntriesByName('first-contentful-paint')[0];
  done([paint ? paint.startTime : null, performance.now()]);
})))"""


def open_timed(browser, url):
    """(first paint, loaded and drawn) in ms for one opening of url in a new tab."""
    target = browser.tab()
    browser.events = []
    browser.open(url)
    times = browser.call("Runtime.evaluate", expression=TIMES, awaitPromise=True, returnByValue=True)
    browser.session = {}
    browser.call("Target.closeTarget", targetId=target)
    return times["result"]["value"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", type=Path, default=Path("/var/tmp/stillsentinel-report-year"))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    if not NATIVE.is_file():
        sys.exit(f"build the native report first ({NATIVE} is missing)")
    make_year(args.data, 20)
    with tempfile.TemporaryDirectory(prefix="page-bench-") as tmp:
        pages = {"empty page": Path(tmp) / "empty.html", "the year's page": Path(tmp) / "report.html"}
        pages["empty page"].write_text("<!DOCTYPE html>\n<html lang=\"ja\"><meta charset=\"utf-8\"><title></title></html>\n")
        with open(pages["the year's page"], "wb") as page:
            subprocess.run([str(NATIVE), "--format", "html", str(args.data / "full")], stdout=page, check=True)
        browser = Browser(Path(tmp) / "profile")
        try:
            for name, path in pages.items():
                open_timed(browser, path.as_uri())  # warms the cache and the browser; dropped
                runs = [open_timed(browser, path.as_uri()) for _ in range(args.runs)]
                paint = [r[0] for r in runs if r[0] is not None]
                print(f"{name:16} {path.stat().st_size / 1e6:6.2f} MB  first paint "
                      f"{f'{statistics.median(paint):6.0f} ms' if paint else '     —   '}  loaded and drawn "
                      f"{statistics.median(r[1] for r in runs):6.0f} ms")
        finally:
            browser.close()


if __name__ == "__main__":
    main()
