"""The Startup shortcut, made and removed through the settings dialog of the real exe on Wine.

The .lnk file is read independently: Debian's lnkinfo (liblnk-utils) for
the strings, and the header fields read here, since that lnkinfo version
misreports the show command of the files Wine writes.
"""
import shutil
import struct
from pathlib import Path

import pytest

from conftest import IDCANCEL, IDOK, immutable, windows_path
from dialog_support import (
    SHORTCUT_NAME, STARTUP_CHECK, USER_SHELL_FOLDERS, Session, exe_target, startup_folder, strings,
)
from wineplatform import lnkinfo

SW_SHOW = 5
HAS_ARGUMENTS = 0x20
MAX_PATH = 260
# What "C:\<folder>\StillSentinel.lnk" adds to the folder name's length.
PATH_OVERHEAD = len("C:\\") + len("\\" + SHORTCUT_NAME)


def read_lnk(path):
    """Reads the Shell Link header fields and string data ourselves.

    Returns flags, show command, hotkey, icon index and the strings that are
    present. Wine counts a terminating NUL in each string's length: strip it.
    """
    data = Path(path).read_bytes()
    assert data[:4] == b"\x4c\x00\x00\x00", "not a Shell Link header"
    flags, = struct.unpack_from("<I", data, 0x14)
    icon_index, show, hotkey = struct.unpack_from("<iIH", data, 0x38)
    offset = 0x4C
    if flags & 0x01:  # HasLinkTargetIDList
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    if flags & 0x02:  # HasLinkInfo
        offset += struct.unpack_from("<I", data, offset)[0]
    found = {}
    for bit, name in ((0x04, "name"), (0x08, "relative_path"), (0x10, "working_dir"),
                      (0x20, "arguments"), (0x40, "icon_location")):
        if flags & bit:
            count, = struct.unpack_from("<H", data, offset)
            found[name] = data[offset + 2:offset + 2 + 2 * count].decode("utf-16-le").rstrip("\0")
            offset += 2 + 2 * count
    return {"flags": flags, "show": show, "hotkey": hotkey, "icon_index": icon_index, "strings": found}


def drive_c_path(wine, path):
    """The C:\\ path of a file under the prefix's drive_c."""
    return "C:\\" + str(path.relative_to(wine.prefix / "drive_c")).replace("/", "\\")


def check_state(session, dialog):
    return session.state(dialog)[f"check{STARTUP_CHECK}"]


def tick_and_ok(session, ticked):
    """Opens the dialog, sets the box and presses OK; returns the box state on opening."""
    dialog, state = session.run_dialog()
    session.set_check(dialog, ticked)
    session.press(dialog, IDOK)
    return state[f"check{STARTUP_CHECK}"]


def box_on_opening(session):
    _, state = session.run_dialog(IDCANCEL)
    return state[f"check{STARTUP_CHECK}"]


def test_ticking_the_box_creates_the_shortcut(wine):
    if not shutil.which("lnkinfo"):
        pytest.fail("this check needs lnkinfo (apt-get install liblnk-utils)")
    session = Session(wine)
    startup = startup_folder(wine)
    assert not (startup / SHORTCUT_NAME).exists()

    dialog, state = session.run_dialog()
    assert state[f"check{STARTUP_CHECK}"] == "0"
    # A click, as the user ticks it: the auto check box toggles itself.
    session.click(dialog, STARTUP_CHECK)
    assert check_state(session, dialog) == "1"
    mark = session.trace_mark()
    session.press(dialog, IDOK)
    assert len(session.calls_since(mark, "ole32.CoCreateInstance")) == 1
    assert sorted(p.name for p in startup.iterdir()) == [SHORTCUT_NAME]

    target = exe_target(session.folder)
    folder = windows_path(session.folder)
    shortcut = startup / SHORTCUT_NAME

    header = read_lnk(shortcut)
    assert header["show"] == SW_SHOW
    assert header["hotkey"] == 0
    assert header["icon_index"] == 0
    assert not header["flags"] & HAS_ARGUMENTS
    assert header["strings"].get("name", "") == ""  # the description
    assert header["strings"]["working_dir"] == folder
    assert header["strings"]["icon_location"] == target
    assert "arguments" not in header["strings"]

    fields, contains = lnkinfo(shortcut)
    assert fields["Local path"] == target
    assert fields["Working directory"] == folder
    assert fields["Icon location"] == target
    assert fields["Icon index"] == "0"
    assert fields["Hot Key value"] == "0"
    assert fields.get("Description", "") == ""
    assert "Command line arguments" not in fields
    assert "Contains a command line arguments string" not in contains

    # The box on the next opening shows that the file is there.
    assert box_on_opening(session) == "1"


def test_existing_file_is_kept_and_clearing_the_box_deletes_it(wine):
    session = Session(wine)
    startup = startup_folder(wine)
    shortcut = startup / SHORTCUT_NAME
    content = b"not made by StillSentinel\r\n"
    shortcut.write_bytes(content)
    before = shortcut.stat()

    # Ticked with a file of that name present: left exactly as it was.
    mark = session.trace_mark()
    assert tick_and_ok(session, True) == "1"
    assert shortcut.read_bytes() == content
    assert (shortcut.stat().st_mtime_ns, shortcut.stat().st_ino) == (before.st_mtime_ns, before.st_ino)
    assert session.calls_since(mark, "ole32.CoCreateInstance", "kernel32.DeleteFileW") == []

    # Cleared: the file goes.
    mark = session.trace_mark()
    assert tick_and_ok(session, False) == "1"
    assert not shortcut.exists()
    deletes = session.calls_since(mark, "kernel32.DeleteFileW")
    assert [strings(c) for c in deletes] == [[drive_c_path(wine, shortcut)]]

    # Cleared with no file: nothing appears, and the box stays clear.
    assert tick_and_ok(session, False) == "0"
    assert list(startup.iterdir()) == []
    assert box_on_opening(session) == "0"


def test_failed_save_is_silent_and_the_box_is_clear_next_time(wine):
    session = Session(wine)
    startup = startup_folder(wine)
    # Root ignores permission bits; an immutable folder refuses new files.
    with immutable(startup):
        mark = session.trace_mark()
        # press waits for the dialog to go: a message box raised during
        # OK would keep it open.
        assert tick_and_ok(session, True) == "0"
        assert len(session.calls_since(mark, "ole32.CoCreateInstance")) == 1
        assert session.calls_since(mark, "user32.MessageBoxW") == []
        assert session.dialogs() == []
        assert list(startup.iterdir()) == []
        assert box_on_opening(session) == "0"


# Startup folder as the registry names it: C:\ and this many letters, or a
# folder that does not exist. The shortcut path adds "\StillSentinel.lnk".
LOCATION_ROWS = [
    pytest.param(MAX_PATH - 1 - PATH_OVERHEAD, True, True, id="shortcut-path-of-259-fits"),
    pytest.param(MAX_PATH - PATH_OVERHEAD, True, False, id="shortcut-path-of-260-is-too-long"),
    pytest.param(247, True, False, id="folder-of-250-is-too-long"),
    pytest.param(12, False, False, id="folder-missing"),
]


@pytest.mark.parametrize("letters, folder_exists, usable", LOCATION_ROWS)
def test_startup_folder_that_cannot_hold_the_shortcut(wine, letters, folder_exists, usable):
    """An unusable shortcut path shows the box clear and creates and deletes nothing."""
    name = "d" * letters
    folder = wine.prefix / "drive_c" / name
    wine.reg_add(USER_SHELL_FOLDERS, "Startup", "C:\\" + name, "REG_EXPAND_SZ")
    full_path = f"C:\\{name}\\{SHORTCUT_NAME}"
    decoy = None
    if folder_exists:
        folder.mkdir()
        if len(full_path) >= MAX_PATH:
            # Where a path cut to the buffer would point: it must stay unseen.
            decoy = folder / full_path[:MAX_PATH - 1].rsplit("\\", 1)[1]
            decoy.write_bytes(b"decoy\r\n")
    session = Session(wine)

    mark = session.trace_mark()
    assert tick_and_ok(session, True) == "0"
    created = session.calls_since(mark, "ole32.CoCreateInstance")
    made = sorted(p.name for p in folder.iterdir()) if folder_exists else []
    mark = session.trace_mark()
    assert box_on_opening(session) == ("1" if usable else "0")
    assert tick_and_ok(session, False) == ("1" if usable else "0")
    deletes = session.calls_since(mark, "kernel32.DeleteFileW")

    if usable:
        assert len(full_path) == MAX_PATH - 1
        assert len(created) == 1 and made == [SHORTCUT_NAME]
        assert [strings(c) for c in deletes] == [[full_path]]
        assert list(folder.iterdir()) == []
    else:
        assert created == [] and deletes == []
        if folder_exists:
            assert list(folder.iterdir()) == ([decoy] if decoy else [])
            if decoy:
                assert decoy.read_bytes() == b"decoy\r\n"
        else:
            assert not folder.exists()
    assert not (startup_folder(wine) / SHORTCUT_NAME).exists()
