"""What Wine 8.0 (Debian 12) and Wine 10.0 (Debian 13) do differently, in one place.

Tests ask these functions instead of assuming either platform, so a new
difference is mended here and nowhere else.
"""
import platform
import subprocess
from pathlib import Path

from waits import WAIT_SECONDS

# How to start Wine. Debian 12's Wine 8 loader is not position-independent: it
# sits at 0x7d000000 and the kernel puts its heap up to 1 GiB above. About once
# in a thousand starts that heap covers 0x7ffe0000, where Wine must map the shared
# user data, and the process dies before it runs (exit 1). Without address
# randomisation the heap follows the loader. Wine 10's loader is position-independent.
LOADER = Path("/usr/lib/wine/wine64")
FIXED_LOADER = LOADER.is_file() and LOADER.read_bytes()[16:18] == b"\x02\x00"  # ELF type 2: EXEC
WINE = ("setarch", platform.machine(), "-R", "wine") if FIXED_LOADER else ("wine",)

# Functions Wine implements in another DLL than the one the program imports
# them from: its relay names the implementing DLL. A test names the function
# as the program imports it; Wine.relay traces both names, and relay.Trace
# reads the implementing name as the imported one.
FORWARDED = {"kernelbase.DeleteFileW": "kernel32.DeleteFileW", "combase.CoCreateInstance": "ole32.CoCreateInstance"}

# Texts of the periodic console-session report.
SESSION_STATE_LABELS = ("アクティブ", "接続済み", "接続問い合わせ中", "シャドウ", "切断済み",
                        "アイドル", "待機中", "リセット中", "ダウン", "初期化中")
STATE_QUERY_FAILED_TEXT = "セッション状態の取得に失敗しました。"
NO_CONSOLE_TEXT = "アクティブなセッションがありません。"


def session_state_text(wine):
    """The report the program must log on this platform, from the same
    question asked by sstest: Wine 8 fails WTSQuerySessionInformationW for the
    console session (the failure text), Wine 10 answers WTSActive (the state's
    label)."""
    code, values, lines = wine.sstest("sessionstate")
    assert code == 0 and "queried" in values, f"sstest sessionstate: {lines}"
    if values["console"] == str(0xFFFFFFFF):
        return NO_CONSOLE_TEXT
    if values["queried"] == "0" or "state" not in values:
        return STATE_QUERY_FAILED_TEXT
    state = int(values["state"])
    return "セッション状態: " + (SESSION_STATE_LABELS[state] if 0 <= state < 10 else "不明")


def lnkinfo(path):
    """lnkinfo's reading of a shortcut: ({field: value} of its 'Link information'
    block, [the 'Contains ...' flags]). Debian 13's lnkinfo (20240423) prints
    every backslash of a path doubled, Debian 12's (20181227) does not: the
    doubling is undone here, by version, so that a doubled backslash in the
    file itself still shows on either."""
    def run(*args):
        return subprocess.run(["lnkinfo", *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=WAIT_SECONDS, check=True).stdout.decode("utf-8", "replace")
    doubled = int(run("-V").split()[1]) >= 20240423
    text = run(str(path))
    fields, flags = {}, []
    for line in text.splitlines():
        stripped = line.strip()
        if line.startswith("\t") and not line.startswith("\t\t") and ":" in stripped:
            key, _, value = stripped.partition(":")
            value = value.strip().rstrip("\0")
            fields.setdefault(key.strip(), value.replace("\\\\", "\\") if doubled else value)
        elif stripped.startswith("Contains "):
            flags.append(stripped)
    return fields, flags


# Plain Xvfb has no X tray, so Wine shows its own captioned tray window at the
# top left, each icon a 20x20 child window in a row along its client area:
# Wine 8's display driver in a __winex11_standalone_tray of __winex11_tray_icon
# children, Wine 10's explorer in a Shell_TrayWnd of __wine_tray_icon children.
TRAY_ICON_CLASSES = ("__winex11_tray_icon", "__wine_tray_icon")

# Wine 8's relay traces user32.DefWindowProcW, Wine 10's does not. On both the
# message spy prints every DefWindowProc call, which relay.Trace reads as calls
# of user32.DefWindowProcW: add this to WINEDEBUG to see them, and leave the
# function out of RelayInclude (or Wine 8 shows each call twice).
DEF_WINDOW_PROC_DEBUG = ",+message"


def tray_icons(wine):
    """Screen rectangles of the icons in Wine's notification area, each place once: Wine 10 with managed
    windows was once seen to list one icon as two visible windows at the same place."""
    return sorted({w["rect"] for w in wine.windows() if w["class"] in TRAY_ICON_CLASSES and w["visible"] == "1"})
