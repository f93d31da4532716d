"""Release artefacts: a reproducible exe, the portable zip with its notices and bill of
materials, and the signed exe."""
import hashlib
import json
import os
import re
import subprocess
import sys
import uuid
import zipfile
from pathlib import Path

import pefile
import pytest

from conftest import BUILD, EXE, REPORT_EXE, ROOT
from signing import PASSWORD, make_signer, package

TOOLCHAIN = ROOT / "cmake" / "mingw-w64-x86_64.cmake"


def build_exes(source, build_dir):
    subprocess.run(["cmake", "-S", str(source), "-B", str(build_dir), f"-DCMAKE_TOOLCHAIN_FILE={TOOLCHAIN}",
                    "-DCMAKE_BUILD_TYPE=Release", "-DSTILLSENTINEL_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL, timeout=300)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", "StillSentinel", "stillsentinel_report", "-j2"],
                   check=True, stdout=subprocess.DEVNULL, timeout=900)
    return [(build_dir / exe.name).read_bytes() for exe in (EXE, REPORT_EXE)]


def test_two_clean_builds_are_byte_identical(tmp_path):
    # The exe under test against a build from other source and build paths,
    # made at another time: nothing of either may reach the exe.
    copy = tmp_path / "elsewhere" / "source"
    copy.mkdir(parents=True)
    for name in ["CMakeLists.txt", "cmake", "src", "report"]:
        subprocess.run(["cp", "-a", str(ROOT / name), str(copy / name)], check=True)
    others = build_exes(copy, tmp_path / "b" / "much" / "deeper" / "build")
    for exe, other in zip((EXE, REPORT_EXE), others):
        assert len(other) > 50000
        assert hashlib.sha256(exe.read_bytes()).hexdigest() == hashlib.sha256(other).hexdigest(), exe.name


def test_exe_is_at_most_320_kib():
    assert EXE.stat().st_size <= 320 * 1024


def dpkg_query(package_name, field):
    return subprocess.run(["dpkg-query", "-W", f"-f=${{{field}}}", package_name], capture_output=True, text=True,
                          check=True, timeout=60).stdout


def files_in_link_map(exe=EXE):
    """Files from outside the build tree that put a non-empty input section into the exe,
    read from the map's memory layout (the package script reads its member list)."""
    layout = exe.with_suffix(".map").read_text().split("\nLinker script and memory map\n", 1)[1]
    sections = re.findall(r"^ (?:\S+)?\s+0x[0-9a-f]{16}\s+0x([0-9a-f]+) (/\S+)$", layout, re.M)
    return {os.path.normpath(path.split("(")[0]) for size, path in sections if int(size, 16)}


def check_bill_of_materials(bom, exe, signed, report_exe):
    assert (bom["bomFormat"], bom["specVersion"], bom["version"]) == ("CycloneDX", "1.5", 1)
    assert bom["serialNumber"] == uuid.UUID(bom["serialNumber"].removeprefix("urn:uuid:")).urn
    app = bom["metadata"]["component"]
    assert (app["type"], app["name"], app["version"]) == ("application", "StillSentinel", package.read_version())
    assert app["hashes"] == [{"alg": "SHA-256", "content": hashlib.sha256(exe).hexdigest()}]
    report, *libraries = bom["components"]
    assert (report["type"], report["name"], report["version"]) == \
        ("application", "StillSentinelReport", package.read_version())
    assert report["hashes"] == [{"alg": "SHA-256", "content": hashlib.sha256(report_exe).hexdigest()}]
    purls = {c["purl"]: c for c in libraries}
    depends = {d["ref"]: d["dependsOn"] for d in bom["dependencies"]}
    assert sorted(depends) == ["StillSentinel.exe", "StillSentinelReport.exe"]
    for ref, on in depends.items():
        mapped = files_in_link_map(BUILD / ref)
        linked = {p: {x["value"] for x in purls[p]["properties"]} for p in on}
        assert set().union(*linked.values()) >= mapped, ref
        assert all(files & mapped for files in linked.values()), (ref, "a package it does not link")
    tools = bom["metadata"]["tools"]["components"]
    signer = {"osslsigncode"} if signed else set()
    assert {t["name"] for t in tools} == {"g++-mingw-w64-x86-64-posix", "binutils-mingw-w64-x86-64", "cmake"} | signer
    for c in libraries + tools:
        assert c["type"] in ("library", "application") and c["version"] == dpkg_query(c["name"], "Version"), c
    linked = set()
    for c in libraries:
        files = {p["value"] for p in c["properties"] if p["name"] == "stillsentinel:linked-from"}
        owned = set(dpkg_query(c["name"], "db-fsys:Files").split())
        assert files and files <= owned, (c["name"], files - owned)
        for lic in c.get("licenses", []):
            assert f"\nLicense: {lic['license']['id']}\n" in copyright_of(c["name"]), c["name"]
        linked |= files
    assert linked == files_in_link_map(EXE) | files_in_link_map(REPORT_EXE)
    assert any("licenses" in c for c in libraries), "no licence read from a machine-readable copyright file"


def copyright_of(package_name):
    return (Path("/usr/share/doc") / package_name / "copyright").read_text()


def check_notices(text, bom):
    libraries = [c for c in bom["components"] if c["type"] == "library"]
    listed = re.findall(r"^(\S+) (\S+) \(source package \S+\)$", text, re.M)
    assert listed == [(c["name"], c["version"]) for c in libraries]
    for c in libraries:
        assert copyright_of(c["name"]) in text, c["name"]
    assert re.search(r"^  /\S+/libpthread\.a$", text, re.M), "the report's threads come from winpthreads"
    assert "GCC RUNTIME LIBRARY EXCEPTION" in text
    assert "GNU GENERAL PUBLIC LICENSE\n                       Version 3" in text, "referred-to licence texts"


def check_package(target, exe=None, signed=False, report_exe=None):
    """Checks every entry of a package; returns its files by name."""
    version = package.read_version()
    folder = f"StillSentinel-{version}-win-x64"
    assert target.name == f"{folder}.zip"
    with zipfile.ZipFile(target) as z:
        files = {name.removeprefix(f"{folder}/"): z.read(name) for name in z.namelist()}
    bom_name = f"StillSentinel-{version}.cdx.json"
    shipped = ["StillSentinel.exe", "StillSentinelReport.exe", "README.md", "README.ja.txt", "LICENSE",
               "THIRD-PARTY-NOTICES.txt", bom_name]
    assert sorted(files) == sorted(shipped + ["SHA256SUMS"]), "one folder, only these files"
    assert files["StillSentinel.exe"] == (exe or files["StillSentinel.exe"])
    assert files["StillSentinelReport.exe"] == (report_exe or files["StillSentinelReport.exe"])
    for name, source in [("README.md", "README.md"), ("README.ja.txt", "docs/README.ja.txt"), ("LICENSE", "LICENSE")]:
        assert files[name] == (ROOT / source).read_bytes(), name
    listed = dict(reversed(line.split("  ")) for line in files["SHA256SUMS"].decode().splitlines())
    assert listed == {name: hashlib.sha256(files[name]).hexdigest() for name in shipped}
    bom = json.loads(files[bom_name])
    check_bill_of_materials(bom, files["StillSentinel.exe"], signed, files["StillSentinelReport.exe"])
    check_notices(files["THIRD-PARTY-NOTICES.txt"].decode(), bom)
    return files


def test_portable_zip_holds_one_folder_with_checked_sums(tmp_path):
    # Files a user's run leaves beside the exe must never be packed.
    (EXE.parent / "someone_StillSentinel.ini").write_text("[StillSentinel]\n")
    try:
        target = package.make_package(EXE, tmp_path)
    finally:
        (EXE.parent / "someone_StillSentinel.ini").unlink()
    check_package(target, EXE.read_bytes(), report_exe=REPORT_EXE.read_bytes())
    again = package.make_package(EXE, tmp_path / "again")
    assert again.read_bytes() == target.read_bytes(), "the same exe must give the same zip"


@pytest.fixture(scope="module")
def signer(tmp_path_factory):
    return make_signer(tmp_path_factory.mktemp("signer"))


def osslsigncode(*args):
    return subprocess.run(["osslsigncode", *map(str, args)], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=120).returncode


def test_signed_exe_verifies_fails_when_changed_and_unsigns_to_the_built_exe(signer, tmp_path, wine):
    signing, ca = signer
    files = check_package(package.make_package(EXE, tmp_path / "dist", signing), signed=True)
    signed = tmp_path / "signed.exe"
    signed.write_bytes(files["StillSentinel.exe"])
    assert osslsigncode("verify", "-CAfile", ca, "-in", signed) == 0
    assert osslsigncode("verify", "-in", signed) != 0, "verified without our CA: the check proves nothing"
    flipped = bytearray(signed.read_bytes())
    code = pefile.PE(data=bytes(flipped)).sections[0]
    flipped[code.PointerToRawData + code.SizeOfRawData // 2] ^= 0x01
    (tmp_path / "flipped.exe").write_bytes(flipped)
    assert osslsigncode("verify", "-CAfile", ca, "-in", tmp_path / "flipped.exe") != 0
    assert osslsigncode("remove-signature", "-in", signed, "-out", tmp_path / "unsigned.exe") == 0
    assert (tmp_path / "unsigned.exe").read_bytes() == EXE.read_bytes()
    signed_report = tmp_path / "signed-report.exe"
    signed_report.write_bytes(files["StillSentinelReport.exe"])
    assert osslsigncode("verify", "-CAfile", ca, "-in", signed_report) == 0
    assert osslsigncode("remove-signature", "-in", signed_report, "-out", tmp_path / "unsigned-report.exe") == 0
    assert (tmp_path / "unsigned-report.exe").read_bytes() == REPORT_EXE.read_bytes()
    plain = check_package(package.make_package(EXE, tmp_path / "plain"))
    bom = f"StillSentinel-{package.read_version()}.cdx.json"
    assert json.loads(files[bom])["serialNumber"] != json.loads(plain[bom])["serialNumber"]
    folder = wine.install()
    (folder / "StillSentinel.exe").write_bytes(files["StillSentinel.exe"])
    assert wine.launch(folder=folder).close() == 0


@pytest.mark.parametrize("given, exit_code, message", [
    ({}, 0, "not signed"),
    ({"PFX": "signer.pfx", "PASSWORD_FILE": "password"}, 0, "without a timestamp"),
    ({"PFX": "signer.pfx", "PASSWORD_FILE": "wrong"}, 1, "Wrong password"),
    ({"PFX": "signer.pfx", "PASSWORD_FILE": "password", "TIMESTAMP_URL": "http://127.0.0.1:9/"}, 1, "127.0.0.1:9"),
    ({"PASSWORD_FILE": "password"}, 1, "set both"),
])
def test_package_script_signs_when_given_a_certificate(signer, tmp_path, given, exit_code, message):
    signing, ca = signer
    (tmp_path / "wrong").write_text("not-the-password\n")
    paths = {"signer.pfx": signing.pfx, "password": signing.password_file, "wrong": str(tmp_path / "wrong")}
    env = {k: v for k, v in os.environ.items() if not k.startswith("STILLSENTINEL_SIGN")}
    env.update({f"STILLSENTINEL_SIGN_{k}": paths.get(v, v) for k, v in given.items()})
    out = tmp_path / "dist"
    out.mkdir()
    stale = package.zip_path(out)
    stale.write_bytes(b"an earlier run's zip")
    script = ROOT / "scripts" / "package.py"
    result = subprocess.run([sys.executable, str(script), "--exe", str(EXE), "--out", str(out)], env=env,
                            stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300)
    assert result.returncode == exit_code, result.stderr
    assert len(result.stderr.splitlines()) == 1 and message in result.stderr, result.stderr
    output = result.stdout + result.stderr
    assert PASSWORD not in output and "not-the-password" not in output
    if exit_code:
        assert list(out.iterdir()) == [], "a failed run leaves no zip"
    else:
        exe = tmp_path / "StillSentinel.exe"
        exe.write_bytes(check_package(stale, signed="PFX" in given)["StillSentinel.exe"])
        assert (osslsigncode("verify", "-CAfile", ca, "-in", exe) == 0) == ("PFX" in given)
