"""The README's third command: scripts/report.sh builds the log report natively
from nothing and reports as the native build does (a build of its own, so a
ctest entry of its own beside the report's Wine test)."""
import os
import subprocess

from conftest import ROOT
from ini import USER
from report_support import jsonl_rows, make_collection, run_native
from waits import WAIT_SECONDS


def test_report_script_builds_afresh_and_reports_as_the_native_build(tmp_path):
    """The README's third command, from nothing built, on a small collection."""
    make_collection(tmp_path / "collected")
    env = {**os.environ, "STILLSENTINEL_REPORT_BUILD": str(tmp_path / "build")}
    script = subprocess.run(["bash", str(ROOT / "scripts" / "report.sh"), "--format", "jsonl", "--gap", "86400",
                             tmp_path / "collected"], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=30 * WAIT_SECONDS)
    assert script.returncode == 0, script.stderr.decode(errors="replace")
    assert script.stdout == run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected").stdout
    # A path that cannot be read: the rest is still reported, the path named, exit 1; a usage error: 2.
    missing = run_native("--format", "jsonl", "--gap", "86400", tmp_path / "collected", tmp_path / "missing")
    assert (missing.returncode, missing.stdout) == (1, script.stdout)
    assert str(tmp_path / "missing") in missing.stderr.decode()
    assert run_native("--format", "jsonl", "--gap", "soon", tmp_path / "collected").returncode == 2
    # Locked all night, across the two files: the second day begins at the unlock.
    assert [(r["source"], r["date"], r["first"], r["locked_s"]) for r in jsonl_rows(script.stdout)] == [
        (f"PC001/{USER}_log", "2026-12-07", "2026-12-07T09:00:00", 0),
        (f"PC001/{USER}_log", "2026-12-08", "2026-12-08T08:00:00", 0)]
