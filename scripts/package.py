#!/usr/bin/env python3
"""Makes the portable package StillSentinel-<version>-win-x64.zip.

The zip holds one folder with the two exes (the tray program and the log report,
StillSentinelReport.exe, built beside it), README.md, README.ja.txt (the Japanese
guide), LICENSE, THIRD-PARTY-NOTICES.txt, a CycloneDX bill of materials and
SHA256SUMS, and nothing else (never a user's INI or log). Entries carry fixed
times and permissions so that the same exes always give the same zip.

With STILLSENTINEL_SIGN_PFX and STILLSENTINEL_SIGN_PASSWORD_FILE set (and
STILLSENTINEL_SIGN_TIMESTAMP_URL for a release), both exes are signed first, so
that the sums and the bill of materials describe the signed exes.
"""
import argparse
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse
import uuid
import zipfile
from pathlib import Path
from typing import NamedTuple, Optional

ROOT = Path(__file__).resolve().parents[1]
FIXED_TIME = (2026, 1, 1, 0, 0, 0)
NOTICES = "THIRD-PARTY-NOTICES.txt"
REPORT_EXE = "StillSentinelReport.exe"
RULE = "=" * 72


class PackageError(Exception):
    pass


class Signing(NamedTuple):
    pfx: str
    password_file: str
    timestamp_url: Optional[str] = None


class Component(NamedTuple):
    """A Debian package that parts of the exe were linked from."""
    package: str
    version: str
    source: str
    arch: str
    files: tuple


def read_version():
    header = (ROOT / "src" / "res" / "version.h").read_text()
    major = re.search(r"#define APP_VERSION_MAJOR (\d+)", header).group(1)
    minor = re.search(r"#define APP_VERSION_MINOR (\d+)", header).group(1)
    return f"{major}.{minor}.0"


def signing_from_env(env):
    pfx, password_file = env.get("STILLSENTINEL_SIGN_PFX"), env.get("STILLSENTINEL_SIGN_PASSWORD_FILE")
    if not pfx and not password_file:
        return None
    if not (pfx and password_file):
        raise PackageError("set both STILLSENTINEL_SIGN_PFX and STILLSENTINEL_SIGN_PASSWORD_FILE, or neither")
    return Signing(pfx, password_file, env.get("STILLSENTINEL_SIGN_TIMESTAMP_URL") or None)


def sign(exe, signing, description="StillSentinel"):
    """The exe signed with SHA-256. osslsigncode reads the password from its file
    itself, so it never reaches a command line or this process's output."""
    with tempfile.TemporaryDirectory() as tmp:
        unsigned, signed = Path(tmp, "unsigned.exe"), Path(tmp, "signed.exe")
        unsigned.write_bytes(exe)
        command = ["osslsigncode", "sign", "-pkcs12", signing.pfx, "-readpass", signing.password_file,
                   "-h", "sha256", "-n", description, "-in", str(unsigned), "-out", str(signed)]
        if signing.timestamp_url:
            command += ["-ts", signing.timestamp_url]
        try:
            result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300)
        except FileNotFoundError:
            raise PackageError("signing needs osslsigncode (apt-get install osslsigncode)") from None
        if result.returncode != 0 or not signed.exists():
            # osslsigncode 2.5 (Debian 12) reports on stdout, 2.9 on stderr.
            reason = ((result.stderr.strip() or result.stdout.strip()).splitlines() or ["no reason given"])[0]
            raise PackageError(f"signing with {signing.pfx} failed: {reason}")
        return signed.read_bytes()


def linked_files(link_map):
    """Files from outside the build tree that the linker's map shows in the exe:
    archives that gave members, and objects loaded whole."""
    build = link_map.parent
    text = link_map.read_text()
    members_part = text.split("\nDiscarded input sections", 1)[0]
    names = re.findall(r"^(\S+\.a)\(", members_part, re.M) + re.findall(r"^LOAD (\S+\.o)$", text, re.M)
    paths = {Path(os.path.normpath(build / name)) for name in names}
    return sorted(p for p in paths if not p.is_relative_to(build))


def owning_packages(paths):
    """{path: Debian package} from dpkg -S."""
    result = subprocess.run(["dpkg", "-S", *map(str, paths)], capture_output=True, text=True, timeout=60)
    owners = {}
    for line in result.stdout.splitlines():
        package, _, path = line.partition(": ")
        owners[Path(path)] = package.split(", ")[0]
    missing = [str(p) for p in paths if p not in owners]
    if missing:
        raise PackageError(f"not from an installed Debian package: {', '.join(missing)}")
    return owners


def package_info(package):
    """(version, source package, architecture) from dpkg-query."""
    fields = subprocess.run(["dpkg-query", "-W", "-f=${Version}\t${source:Package}\t${Architecture}", package],
                            capture_output=True, text=True, timeout=60, check=True).stdout.split("\t")
    return tuple(fields)


def components_of(paths):
    owners = owning_packages(paths)
    by_package = {}
    for path in paths:
        by_package.setdefault(owners[path], []).append(path)
    return [Component(package.split(":")[0], *package_info(package), tuple(map(str, files)))
            for package, files in sorted(by_package.items())]


def linked_components(exes):
    """The components linked into any of the exes, from each exe's link map beside it
    (StillSentinel.exe: StillSentinel.map), and {exe name: its component packages}."""
    files_of = {}
    for exe in exes:
        link_map = Path(exe).with_suffix(".map")
        if not link_map.exists():
            raise PackageError(f"no link map {link_map}: build with scripts/build.sh")
        files_of[Path(exe).name] = set(linked_files(link_map))
    components = components_of(sorted(set().union(*files_of.values())))
    uses = {name: [c.package for c in components if files & set(map(Path, c.files))]
            for name, files in files_of.items()}
    return components, uses


def toolchain(exe, signed):
    """The Debian packages of the compiler, the linker and CMake that built the exe (and of the signer)."""
    record = Path(exe).with_name("StillSentinel.toolchain")
    if not record.exists():
        raise PackageError(f"no toolchain record {record}: build with scripts/build.sh")
    tools = [Path(line.partition("=")[2]) for line in record.read_text().splitlines()]
    if signed:
        tools.append(Path(shutil.which("osslsigncode")))
    return components_of(sorted(set(tools)))


def copyright_text(package):
    path = Path("/usr/share/doc") / package / "copyright"
    if not path.exists():
        raise PackageError(f"{package} has no {path}")
    return path.read_text()


def stated_license(copyright):
    """The licence of a machine-readable copyright file's 'Files: *' stanza, if any."""
    if not copyright.startswith("Format:"):
        return None
    found = re.search(r"^Files: \*\n(?:.+\n)*?License: (.+)$", copyright, re.M)
    return found.group(1).strip() if found else None


def notices(version, components):
    parts = [f"Third-party notices for StillSentinel {version}\n\n"
             f"StillSentinel.exe and {REPORT_EXE} are statically linked programs. Besides\n"
             "StillSentinel's own code (MIT licence, see LICENSE) they hold parts of the components\n"
             "below, as the linker's maps of this build show. Each is named by the Debian package it\n"
             "came from, with the files linked from it and that package's copyright file.\n"]
    texts = []
    for c in components:
        text = copyright_text(c.package)
        texts.append(text)
        linked = "".join(f"  {f}\n" for f in c.files)
        parts.append(f"\n{RULE}\n{c.package} {c.version} (source package {c.source})\n"
                     f"Linked from:\n{linked}{RULE}\n\n{text}")
    parts += referenced_common_licenses(texts)
    return "".join(parts)


def referenced_common_licenses(texts):
    """The full texts that copyright files only point to in /usr/share/common-licenses,
    which a Windows user does not have."""
    found = {}
    for text in texts:
        for name in re.findall(r"/usr/share/common-licenses/([\w.+-]+)", text):
            path = Path("/usr/share/common-licenses", name.rstrip("."))
            if path.exists():
                found.setdefault(path.resolve(), {path.resolve().name}).add(path.name)
    return [f"\n{RULE}\n{' = '.join(sorted(names))} (/usr/share/common-licenses)\n{RULE}\n\n{path.read_text()}"
            for path, names in sorted(found.items())]


def purl(c):
    return f"pkg:deb/debian/{c.package}@{urllib.parse.quote(c.version, safe='')}?arch={c.arch}"


def bom_component(c, kind):
    entry = {"type": kind, "bom-ref": purl(c), "name": c.package, "version": c.version, "purl": purl(c)}
    license = stated_license(copyright_text(c.package)) if kind == "library" else None
    if license:
        # Debian's short names are SPDX ids, except the "or later" forms and expressions.
        key = "id" if re.fullmatch(r"[A-Za-z0-9.-]+", license) else "name"
        entry["licenses"] = [{"license": {key: license}}]
    if kind == "library":
        entry["properties"] = [{"name": "stillsentinel:linked-from", "value": f} for f in c.files]
    return entry


def own_exe(name, binary, version):
    return {"type": "application", "bom-ref": name, "name": Path(name).stem, "version": version,
            "hashes": [{"alg": "SHA-256", "content": hashlib.sha256(binary).hexdigest()}],
            "licenses": [{"license": {"id": "MIT"}}]}


def bill_of_materials(version, exes, components, uses, tools):
    """CycloneDX 1.5: the tray program as the subject, the report exe beside the libraries,
    and what each exe links. No clock time: the same exes and packages give the same document."""
    (app_name, app_binary), *others = exes.items()
    app = own_exe(app_name, app_binary, version)
    digests = ":".join(hashlib.sha256(binary).hexdigest() for binary in exes.values())
    by_package = {c.package: c for c in components}
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": uuid.uuid5(uuid.NAMESPACE_URL, f"urn:stillsentinel:exe:sha256:{digests}").urn,
        "version": 1,
        "metadata": {"tools": {"components": [bom_component(t, "application") for t in tools]}, "component": app},
        "components": [own_exe(name, binary, version) for name, binary in others]
                      + [bom_component(c, "library") for c in components],
        "dependencies": [{"ref": name, "dependsOn": [purl(by_package[p]) for p in uses[name]]} for name in exes],
    }
    return json.dumps(bom, indent=2) + "\n"


def write_zip(target, folder, files):
    """Writes the zip under a temporary name first: a failure leaves no half-made zip."""
    partial = target.with_name(target.name + ".part")
    try:
        with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
            for name, data in files.items():
                info = zipfile.ZipInfo(f"{folder}/{name}", FIXED_TIME)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = 0o644 << 16
                info.create_system = 3
                z.writestr(info, data)
        os.replace(partial, target)
    finally:
        partial.unlink(missing_ok=True)


def zip_path(out_dir):
    return Path(out_dir) / f"StillSentinel-{read_version()}-win-x64.zip"


def make_package(exe, out_dir, signing=None):
    """exe: StillSentinel.exe; the report exe is taken from beside it."""
    version = read_version()
    target = zip_path(out_dir)
    folder = target.stem
    target.parent.mkdir(parents=True, exist_ok=True)
    # A failed run must not leave an older zip that could pass for its output.
    target.unlink(missing_ok=True)
    report_exe = Path(exe).with_name(REPORT_EXE)
    if not report_exe.exists():
        raise PackageError(f"no {report_exe}: build with scripts/build.sh")
    exes = {"StillSentinel.exe": Path(exe).read_bytes(), REPORT_EXE: report_exe.read_bytes()}
    if signing:
        exes = {name: sign(binary, signing, Path(name).stem) for name, binary in exes.items()}
    components, uses = linked_components([exe, report_exe])
    files = {
        **exes,
        "README.md": (ROOT / "README.md").read_bytes(),
        "README.ja.txt": (ROOT / "docs" / "README.ja.txt").read_bytes(),
        "LICENSE": (ROOT / "LICENSE").read_bytes(),
        NOTICES: notices(version, components).encode(),
        f"StillSentinel-{version}.cdx.json":
            bill_of_materials(version, exes, components, uses, toolchain(exe, bool(signing))).encode(),
    }
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in sorted(files.items()))
    files["SHA256SUMS"] = sums.encode()
    write_zip(target, folder, files)
    return target


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", default=str(ROOT / "build" / "StillSentinel.exe"))
    parser.add_argument("--out", default=str(ROOT / "dist"))
    args = parser.parse_args()
    try:
        signing = signing_from_env(os.environ)
        target = make_package(args.exe, args.out, signing)
    except PackageError as error:
        zip_path(args.out).unlink(missing_ok=True)
        print(f"package.py: error: {error}", file=sys.stderr)
        return 1
    if signing is None:
        print(f"StillSentinel.exe and {REPORT_EXE} are not signed: no STILLSENTINEL_SIGN_PFX given.", file=sys.stderr)
    elif not signing.timestamp_url:
        print("Signed without a timestamp (no STILLSENTINEL_SIGN_TIMESTAMP_URL): "
              "the signature stops verifying when the certificate expires.", file=sys.stderr)
    print(target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
