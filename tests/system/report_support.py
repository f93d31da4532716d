"""The log report's test pieces: its two builds and how each is run."""
import json
import os
import subprocess
from pathlib import Path

from conftest import EXIT_TEXT, REPORT_EXE, ROOT, START_TEXT, windows_path
from ini import USER
from log_support import BOM
from waits import WAIT_SECONDS

LOCK_TEXT = "ワークステーションがロックされました。"
UNLOCK_TEXT = "ワークステーションのロックが解除されました。"
SUSPEND_TEXT = "システムがサスペンド状態に入りました。"
RESUME_TEXT = "システムがサスペンドから復帰しました。"

FORMATS = ("csv", "jsonl", "html", "monthly-csv", "monthly-jsonl")
# What --out writes: a file for each format.
FILES = tuple(fmt.replace("monthly-", "monthly.") if "-" in fmt else f"report.{fmt}" for fmt in FORMATS)

NATIVE = Path(os.environ.get("STILLSENTINEL_REPORT", ROOT / "build-report" / "stillsentinel-report"))
WINDOWS_EXE = Path(os.environ.get("STILLSENTINEL_REPORT_EXE", REPORT_EXE))


def run_native(*args):
    """The native report with these arguments; returns the finished process (bytes out and err)."""
    return subprocess.run([str(NATIVE), *map(str, args)], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=WAIT_SECONDS * 4)


def run_windows(wine, *args):
    """StillSentinelReport.exe in the test's prefix; Path arguments are given as Wine names them (Z:\\...)."""
    return wine.run(WINDOWS_EXE, *(windows_path(a) if isinstance(a, Path) else a for a in args),
                    timeout=WAIT_SECONDS * 4)


def jsonl_rows(data):
    return [json.loads(line) for line in data.decode("utf-8").splitlines() if line.strip()]


def make_collection(root, user=USER):
    """A small collection, root/PC001/<user>_log: two days, locked all night between them (read with --gap 86400)."""
    logs = root / "PC001" / f"{user}_log"
    logs.mkdir(parents=True)
    (logs / "20261207.txt").write_bytes(BOM + f"2026/12/07 09:00:00 - {START_TEXT}\r\n"
                                        f"2026/12/07 10:00:00 - {LOCK_TEXT}\r\n".encode())
    (logs / "20261208.txt").write_bytes(BOM + f"2026/12/08 08:00:00 - {UNLOCK_TEXT}\r\n"
                                        f"2026/12/08 09:00:00 - {EXIT_TEXT}\r\n".encode())
    return logs
