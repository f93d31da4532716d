"""The README's pictures, in the system tests' own prefix, so they show what the tests see:
    STILLSENTINEL_BUILD=build /usr/bin/python3 scripts/make_screenshots.py [folder, default docs/screenshots]
about.png and settings.png: the dialog; tray-menu.png: the menu and the top left of the screen.
report.png, the log report's page in Chromium, comes from python3 tests/system/test_report_page.py."""
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "system"))  # the system tests' harness
from conftest import (ABOUT_TITLE, DIALOG_CLASS, IDM_ABOUT, IDM_SETTINGS, ROOT, SETTINGS_TITLE, WM_CLOSE,  # noqa: E402
                      WM_COMMAND, WM_TRAYICON, Wine, wait_until)


def shoot(wine, hwnd, path, crop=lambda rect: rect):
    """Waits for hwnd to be shown and painted, saves its part of the screen."""
    wait_until(lambda: (wine.dump(hwnd)[0] or {}).get("visible") == "1", 10, what=f"{path.name} shown")
    time.sleep(1.0)
    rect = crop(wine.dump(hwnd)[0]["rect"])
    wine.screenshot(path, rect)
    print(f"{path}: {rect[2] - rect[0]} x {rect[3] - rect[1]}")


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "docs" / "screenshots"
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="stillsentinel-shots-") as tmp:
        wine = Wine(Path(tmp))
        try:
            wine.record_verbs(Path(tmp) / "urls.txt", ("http", "https"))
            app = wine.start(wine.install())
            wine.x("mousemove", 1, 1)  # off the dialogs: the link shows its normal look
            for command, title, name in ((IDM_ABOUT, ABOUT_TITLE, "about"), (IDM_SETTINGS, SETTINGS_TITLE, "settings")):
                app.post(WM_COMMAND, command)
                dialog = int(wine.wait_window(DIALOG_CLASS, title)["hwnd"], 16)
                shoot(wine, dialog, out / f"{name}.png")
                wine.post(dialog, WM_CLOSE)
                wine.wait_gone(dialog)
            wine.x("mousemove", 60, 40)
            app.post(WM_TRAYICON, 1, 0x205)  # WM_RBUTTONUP on the icon
            menu = int(wine.wait_window("#32768")["hwnd"], 16)
            shoot(wine, menu, out / "tray-menu.png", lambda rect: (0, 0, rect[2] + 10, rect[3] + 10))
            wine.x("key", "Escape")
            assert wine.wait_gone(menu) and app.close() == 0
        finally:
            wine.shutdown()


if __name__ == "__main__":
    main()
