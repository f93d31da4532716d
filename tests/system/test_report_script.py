"""scripts/report.sh runs the native report with the arguments as given, the report alone on
standard output and its exit code kept. (Its build from nothing is what scripts/build.sh
makes build-report with, on every clean tree.)"""
import subprocess

from conftest import ROOT
from report_support import make_collection, run_native
from waits import WAIT_SECONDS


def test_report_script_reports_as_the_native_build(tmp_path):
    make_collection(tmp_path / "collected")

    def script(*args):
        return subprocess.run(["bash", str(ROOT / "scripts" / "report.sh"), "--format", "jsonl", "--gap", *args],
                              cwd=tmp_path, stdin=subprocess.DEVNULL, capture_output=True, timeout=3 * WAIT_SECONDS)

    ok = script("86400", "collected")
    assert ok.returncode == 0, ok.stderr.decode(errors="replace")
    assert ok.stdout == run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected").stdout != b""
    # A path that cannot be read: the rest is still reported, the path named, exit 1; a usage error: 2.
    missing = script("86400", "collected", "missing folder")
    assert (missing.returncode, missing.stdout) == (1, ok.stdout)
    assert "missing folder" in missing.stderr.decode()
    assert script("soon", "collected").returncode == 2
