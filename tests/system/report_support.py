"""The log report's test pieces: its two builds and how each is run."""
import json
import os
import subprocess
from pathlib import Path

from conftest import REPORT_EXE, ROOT, windows_path
from waits import WAIT_SECONDS

LOCK_TEXT = "ワークステーションがロックされました。"
UNLOCK_TEXT = "ワークステーションのロックが解除されました。"
SUSPEND_TEXT = "システムがサスペンド状態に入りました。"
RESUME_TEXT = "システムがサスペンドから復帰しました。"

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
