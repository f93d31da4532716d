"""Release artefacts: a reproducible exe and the portable zip."""
import hashlib
import subprocess
import sys
import zipfile

from conftest import EXE, ROOT

sys.path.insert(0, str(ROOT / "scripts"))
import package  # noqa: E402

TOOLCHAIN = ROOT / "cmake" / "mingw-w64-x86_64.cmake"


def build_exe(source, build_dir):
    subprocess.run(["cmake", "-S", str(source), "-B", str(build_dir), f"-DCMAKE_TOOLCHAIN_FILE={TOOLCHAIN}",
                    "-DCMAKE_BUILD_TYPE=Release", "-DSTILLSENTINEL_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL, timeout=300)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", "StillSentinel", "-j2"],
                   check=True, stdout=subprocess.DEVNULL, timeout=900)
    return (build_dir / "StillSentinel.exe").read_bytes()


def test_two_clean_builds_are_byte_identical(tmp_path):
    # Different source and build paths, built at different times: nothing of
    # either may reach the exe.
    copy = tmp_path / "elsewhere" / "source"
    copy.mkdir(parents=True)
    for name in ["CMakeLists.txt", "cmake", "src"]:
        subprocess.run(["cp", "-a", str(ROOT / name), str(copy / name)], check=True)
    first = build_exe(ROOT, tmp_path / "build-a")
    second = build_exe(copy, tmp_path / "b" / "much" / "deeper" / "build")
    assert len(first) > 50000
    assert hashlib.sha256(first).hexdigest() == hashlib.sha256(second).hexdigest()


def test_exe_is_at_most_320_kib():
    assert EXE.stat().st_size <= 320 * 1024


def test_portable_zip_holds_one_folder_with_checked_sums(tmp_path):
    # Files a user's run leaves beside the exe must never be packed.
    (EXE.parent / "someone_StillSentinel.ini").write_text("[StillSentinel]\n")
    try:
        target = package.make_package(EXE, tmp_path)
    finally:
        (EXE.parent / "someone_StillSentinel.ini").unlink()
    version = package.read_version()
    folder = f"StillSentinel-{version}-win-x64"
    assert target.name == f"{folder}.zip"
    with zipfile.ZipFile(target) as z:
        names = z.namelist()
        assert sorted(names) == sorted(f"{folder}/{n}" for n in ["StillSentinel.exe", "README.md", "LICENSE",
                                                                 "SHA256SUMS"])
        assert z.read(f"{folder}/StillSentinel.exe") == EXE.read_bytes()
        sums = z.read(f"{folder}/SHA256SUMS").decode().splitlines()
        listed = {}
        for line in sums:
            digest, name = line.split("  ")
            listed[name] = digest
        assert set(listed) == {"StillSentinel.exe", "README.md", "LICENSE"}
        for name, digest in listed.items():
            assert hashlib.sha256(z.read(f"{folder}/{name}")).hexdigest() == digest, name
    again = package.make_package(EXE, tmp_path / "again")
    assert again.read_bytes() == target.read_bytes(), "the same exe must give the same zip"
