"""Renders the About box, the settings dialog and the tray menu under Xvfb for the README.

Usage (from the repository root, after building):
    STILLSENTINEL_BUILD=build /usr/bin/python3 tests/system/make_screenshots.py [output folder]

The output folder defaults to docs/screenshots; the files are about.png and
settings.png, each cropped to the dialog's window rectangle, and
tray-menu.png, the tray menu opened beside Wine's tray window. The prefix is
made the way the system tests make theirs (Japanese font replacement
included), so the pictures show what the tests see.
"""
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from about_support import (ABOUT_CLASS, ABOUT_TITLE, IDM_ABOUT, IDM_SETTINGS, SETTINGS_TITLE, WM_CLOSE,  # noqa: E402
                           WM_COMMAND, parse_rect, prepare_prefix, wait_until)
from conftest import ROOT, WAIT_SECONDS, Wine  # noqa: E402


def shoot(wine, main, command, title, path):
    wine.sstest("post", main, WM_COMMAND, command, 0)
    dialog = wine.wait_window(ABOUT_CLASS, title)
    # Shown, and then painted: give the paint a moment after it became visible.
    assert wait_until(lambda: wine.sstest("dump", dialog["hwnd"])[2][0].find(" visible=1 ") > 0, timeout=10)
    time.sleep(1.0)
    line = wine.sstest("dump", dialog["hwnd"])[2][0]
    left, top, right, bottom = parse_rect(line.split(" rect=")[1].split()[0])
    subprocess.run(["import", "-display", wine.xvfb.display, "-window", "root", "-crop",
                    f"{right - left}x{bottom - top}+{left}+{top}", "+repage", str(path)],
                   check=True, timeout=WAIT_SECONDS)
    wine.sstest("post", dialog["hwnd"], WM_CLOSE, 0, 0)
    wine.sstest("waitgone", dialog["hwnd"], 10000)
    print(f"{path}: {right - left} x {bottom - top}")


def shoot_tray_menu(wine, main, path):
    """The tray menu as a right-click opens it, with Wine's tray window in view."""
    subprocess.run(["xdotool", "mousemove", "60", "40"], env={"DISPLAY": wine.xvfb.display},
                   check=True, timeout=WAIT_SECONDS)
    wine.sstest("post", main, 0x8001, 1, 0x205)  # WM_TRAYICON, WM_RBUTTONUP
    menu = wine.wait_window("#32768", "*")
    assert wait_until(lambda: " visible=1 " in wine.sstest("dump", menu["hwnd"])[2][0], timeout=10)
    time.sleep(1.0)
    left, top, right, bottom = parse_rect(wine.sstest("dump", menu["hwnd"])[2][0].split(" rect=")[1].split()[0])
    subprocess.run(["import", "-display", wine.xvfb.display, "-window", "root", "-crop",
                    f"{right + 10}x{bottom + 10}+0+0", "+repage", str(path)], check=True, timeout=WAIT_SECONDS)
    subprocess.run(["xdotool", "key", "Escape"], env={"DISPLAY": wine.xvfb.display}, check=True,
                   timeout=WAIT_SECONDS)
    wine.sstest("waitgone", menu["hwnd"], 10000)
    print(f"{path}: {right + 10} x {bottom + 10}")


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "docs" / "screenshots"
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="stillsentinel-shots-") as tmp:
        wine = Wine(Path(tmp))
        try:
            prepare_prefix(wine, Path(tmp) / "urls.txt")
            app = wine.start(wine.install())
            main_window = wine.wait_window()["hwnd"]
            # Keep the pointer off the dialogs so the link shows its normal look.
            subprocess.run(["xdotool", "mousemove", "1", "1"], env={"DISPLAY": wine.xvfb.display},
                           check=True, timeout=WAIT_SECONDS)
            shoot(wine, main_window, IDM_ABOUT, ABOUT_TITLE, out / "about.png")
            shoot(wine, main_window, IDM_SETTINGS, SETTINGS_TITLE, out / "settings.png")
            shoot_tray_menu(wine, main_window, out / "tray-menu.png")
            wine.close_main(app)
        finally:
            wine.shutdown()


if __name__ == "__main__":
    main()
