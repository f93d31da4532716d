"""scripts/report.sh builds the log report natively from nothing and reports as the native build does (a
build of its own, so a ctest entry of its own)."""
import os
import subprocess

from conftest import ROOT
from report_support import make_collection, run_native
from waits import WAIT_SECONDS


def test_report_script_builds_afresh_and_reports_as_the_native_build(tmp_path):
    make_collection(tmp_path / "collected")
    env = {**os.environ, "STILLSENTINEL_REPORT_BUILD": str(tmp_path / "build")}
    script = subprocess.run(["bash", str(ROOT / "scripts" / "report.sh"), "--format", "jsonl", "--gap", "86400",
                             tmp_path / "collected"], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=30 * WAIT_SECONDS)
    assert script.returncode == 0, script.stderr.decode(errors="replace")
    assert script.stdout == run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected").stdout != b""
    # A path that cannot be read: the rest is still reported, the path named, exit 1; a usage error: 2.
    missing = run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected", tmp_path / "missing")
    assert (missing.returncode, missing.stdout) == (1, script.stdout)
    assert str(tmp_path / "missing") in missing.stderr.decode()
    assert run_native("--format", "jsonl", "--gap", "soon", tmp_path / "collected").returncode == 2
