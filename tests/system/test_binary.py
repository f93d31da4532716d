"""The shipped exe: hardening flags, imports, symbols, version resource, and DLL planting."""
import shutil

import pefile
import pytest

from conftest import BUILD, EXE, EXIT_TEXT, REPORT_EXE, WM_POWERBROADCAST, WM_WTSSESSION_CHANGE
from log_support import log_texts
from resources import RT_DIALOG, load_resources, parse_dialogex
from signing import signed_exe
from waits import wait_until
from wineplatform import STATE_QUERY_FAILED_TEXT, session_state_text

IMAGE_SCN_MEM_EXECUTE, IMAGE_SCN_MEM_WRITE, IMAGE_SCN_MEM_SHARED = 0x20000000, 0x80000000, 0x10000000
DLLCHAR_HIGH_ENTROPY_VA, DLLCHAR_DYNAMIC_BASE, DLLCHAR_NX_COMPAT = 0x0020, 0x0040, 0x0100
IMAGE_FILE_RELOCS_STRIPPED = 0x0001

# DLLs that every Windows installation carries in its system folder.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll",
               "comctl32.dll", "ole32.dll", "msvcrt.dll"}
# Of those, the ones the loader never takes from the exe's folder (KnownDLLs,
# or bound through the manifest's side-by-side assembly for comctl32).
PROTECTED_DLLS = SYSTEM_DLLS


def open_pe(kind, tmp_path_factory):
    # Signing must keep every property of the built exe; the report's is linked with the same hardening.
    exe = {"built": EXE, "report": REPORT_EXE}.get(kind) or signed_exe(tmp_path_factory.mktemp("signed"))
    return pefile.PE(str(exe))


@pytest.fixture(scope="module", params=["built", "signed"])
def pe(request, tmp_path_factory):
    return open_pe(request.param, tmp_path_factory)


@pytest.fixture(scope="module", params=["built", "signed", "report"])
def shipped(request, tmp_path_factory):
    """Each exe of the release."""
    return open_pe(request.param, tmp_path_factory)


def test_report_is_a_static_x64_console_program():
    report = pefile.PE(str(REPORT_EXE))
    assert report.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]
    assert report.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"]


def test_aslr_high_entropy_and_nx_with_relocations(shipped):
    pe = shipped
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    assert flags & DLLCHAR_DYNAMIC_BASE, "DYNAMICBASE"
    assert flags & DLLCHAR_HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"
    assert flags & DLLCHAR_NX_COMPAT, "NX_COMPAT"
    assert not pe.FILE_HEADER.Characteristics & IMAGE_FILE_RELOCS_STRIPPED
    reloc = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    assert reloc.Size > 0, "relocations must be present for ASLR"


def test_no_section_is_writable_and_executable_or_shared(shipped):
    pe = shipped
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode()
        c = section.Characteristics
        assert not (c & IMAGE_SCN_MEM_WRITE and c & IMAGE_SCN_MEM_EXECUTE), f"{name} is W+X"
        assert not (c & IMAGE_SCN_MEM_WRITE and c & IMAGE_SCN_MEM_SHARED), f"{name} is shared and writable"


def test_imports_only_system_dlls(shipped):
    pe = shipped
    dlls = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    assert dlls, "no imports read"
    assert dlls <= SYSTEM_DLLS, sorted(dlls - SYSTEM_DLLS)
    for runtime in ("libstdc++", "libgcc", "libwinpthread", "wtsapi32"):
        assert not any(runtime in d for d in dlls), runtime


def test_stripped_of_symbols(shipped):
    pe = shipped
    assert pe.FILE_HEADER.PointerToSymbolTable == 0
    assert pe.FILE_HEADER.NumberOfSymbols == 0
    names = {s.Name.rstrip(b"\0") for s in pe.sections}
    assert not any(n.startswith(b".debug") or n.startswith(b"/") for n in names), names


def test_version_resource_agrees_with_the_about_box(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]
    version = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16,
               fixed.FileVersionLS & 0xFFFF)
    assert version == (1, 0, 0, 0)
    assert (fixed.ProductVersionMS, fixed.ProductVersionLS) == (fixed.FileVersionMS, fixed.FileVersionLS)
    tables = [t for info in pe.FileInfo[0] if hasattr(info, "StringTable") for t in info.StringTable]
    assert [t.LangID for t in tables] == [b"040904B0"] or [t.LangID for t in tables] == [b"040904b0"]
    strings = {k.decode(): v.decode() for k, v in tables[0].entries.items()}
    assert strings["ProductName"] == "StillSentinel"
    assert strings["FileVersion"] == strings["ProductVersion"] == "%d.%d.%d.%d" % version
    about = parse_dialogex(load_resources(EXE)[(RT_DIALOG, 2000)][0][1])
    assert about["controls"][1]["text"] == "StillSentinel Version %d.%02d" % version[:2]
    assert [lang for lang, _ in load_resources(EXE)[(16, 1)]] == [0x0409]


PLANTED = BUILD / "tests" / "helpers" / "planted"


def run_logging_every_second(wine, overrides, notification, logged, report, relay=()):
    """Runs the exe with a session-state report every second, waits for two
    reports (the timer runs on), posts one notification and closes it; returns
    the app and its event texts, which must hold the notification's text and
    end with the exit."""
    app = wine.launch(ini=(1, 900, 3, 1), relay=relay,
                      env={"WINEDLLOVERRIDES": wine.env["WINEDLLOVERRIDES"] + overrides})
    app.post(*notification)
    wait_until(lambda: log_texts(app.folder).count(report) >= 2, 20, what=f"two reports of {report}")
    assert app.close() == 0
    texts = log_texts(app.folder)
    assert logged in texts
    assert texts[-1] == EXIT_TEXT
    return app, texts


def test_planted_wtsapi32_is_never_loaded(wine):
    # Reproduce Windows' search order: a native DLL in the exe's folder wins.
    overrides = ";wtsapi32=n,b"
    folder = wine.install()
    shutil.copy2(PLANTED / "planted_wtsapi32.dll", folder / "wtsapi32.dll")
    marker = folder / "PLANTED_DLL_LOADED"

    # Control: a program importing wtsapi32 the ordinary way does pick the planted copy up.
    control = folder / "static_importer.exe"
    shutil.copy2(PLANTED / "static_importer.exe", control)
    wine.run(control, env={"WINEDLLOVERRIDES": wine.env["WINEDLLOVERRIDES"] + overrides}, timeout=60)
    assert marker.exists(), "the planted DLL should load into a program that imports it statically"
    marker.unlink()
    control.unlink()

    # The reports are what the platform's own wtsapi32 answers.
    run_logging_every_second(wine, overrides, (WM_WTSSESSION_CHANGE, 7, 1),
                             "ワークステーションがロックされました。", session_state_text(wine))
    assert not marker.exists(), "StillSentinel loaded the DLL planted beside it"


def test_runs_as_before_without_wtsapi32(wine):
    # The library disabled: no session notifications, and on every platform
    # the state query is reported as failed.
    app, texts = run_logging_every_second(
        wine, ";wtsapi32=d", (WM_POWERBROADCAST, 7, 0), "システムがサスペンドから復帰しました。",
        STATE_QUERY_FAILED_TEXT, ("wtsapi32.WTSRegisterSessionNotification", "wtsapi32.WTSQuerySessionInformationW"))
    assert not [t for t in texts if t.startswith("セッション状態:")]
    trace = app.trace()
    assert not trace.calls("wtsapi32.WTSRegisterSessionNotification")
    assert not trace.calls("wtsapi32.WTSQuerySessionInformationW")
