#!/usr/bin/env python3
"""Makes the portable package StillSentinel-<version>-win-x64.zip.

The zip holds one folder with the exe, README.md, LICENSE and SHA256SUMS, and
nothing else (never a user's INI or log). Entries carry fixed times and
permissions so that the same exe always gives the same zip.
"""
import argparse
import hashlib
import re
import sys
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
FIXED_TIME = (2026, 1, 1, 0, 0, 0)


def read_version():
    header = (ROOT / "src" / "res" / "version.h").read_text()
    major = re.search(r"#define APP_VERSION_MAJOR (\d+)", header).group(1)
    minor = re.search(r"#define APP_VERSION_MINOR (\d+)", header).group(1)
    return f"{major}.{minor}.0"


def make_package(exe, out_dir):
    version = read_version()
    folder = f"StillSentinel-{version}-win-x64"
    files = {
        "StillSentinel.exe": Path(exe).read_bytes(),
        "README.md": (ROOT / "README.md").read_bytes(),
        "LICENSE": (ROOT / "LICENSE").read_bytes(),
    }
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in sorted(files.items()))
    files["SHA256SUMS"] = sums.encode()
    out_dir = Path(out_dir)
    out_dir.mkdir(parents=True, exist_ok=True)
    target = out_dir / f"{folder}.zip"
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name in ["StillSentinel.exe", "README.md", "LICENSE", "SHA256SUMS"]:
            info = zipfile.ZipInfo(f"{folder}/{name}", FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            info.create_system = 3
            z.writestr(info, files[name])
    return target


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", default=str(ROOT / "build" / "StillSentinel.exe"))
    parser.add_argument("--out", default=str(ROOT / "dist"))
    args = parser.parse_args()
    print(make_package(args.exe, args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
