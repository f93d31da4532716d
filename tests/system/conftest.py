"""Drives the real StillSentinel.exe on Wine under Xvfb.

Every test gets its own Wine prefix (a hard-linked copy of one template made
once per build tree), its own Xvfb display and its own folder holding a fresh
copy of the exe. `Wine` is that prefix and display; `App` is one run of the
program in it. Windows are driven from inside the prefix by sstest.exe, and
questions only the program's own process can answer go to probe.dll, loaded
into it. Only processes started here are ended, by PID or through the test's
own wineserver.
"""
import fcntl
import hashlib
import os
import re
import select
import shutil
import signal
import stat
import subprocess
import time
from contextlib import contextmanager
from pathlib import Path

import pytest

import relay
from ini import USER, write_ini
from waits import WAIT_SECONDS, wait_until
from wineplatform import FORWARDED, WINE

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("STILLSENTINEL_BUILD", ROOT / "build")).resolve()
EXE = BUILD / "StillSentinel.exe"
REPORT_EXE = BUILD / "StillSentinelReport.exe"
HELPERS = BUILD / "tests" / "helpers"
SSTEST = HELPERS / "sstest.exe"
PROBE_DLL = HELPERS / "probe" / "probe.dll"
TEMPLATE = BUILD / "wine-template"
TEMPLATE_VERSION = "2: unmanaged windows"  # a template made otherwise is made anew

# The tests and every Wine process run nine hours ahead of UTC, so that a
# program stamping its lines or naming its days in UTC fails (CI runs in UTC).
# A POSIX rule, not a zone name: it needs no tzdata, which minimal systems lack.
os.environ["TZ"] = "JST-9"
time.tzset()

# Messages and the program's own numbers and texts.
WM_NULL, WM_CLOSE, WM_ENDSESSION, WM_COMMAND, WM_TIMER = 0x0000, 0x0010, 0x0016, 0x0111, 0x0113
WM_POWERBROADCAST, WM_WTSSESSION_CHANGE, WM_TRAYICON = 0x0218, 0x02B1, 0x8001
IDOK, IDCANCEL = 1, 2
IDM_EXIT, IDM_ABOUT, IDM_SETTINGS, IDM_OPENLOG = 40001, 40002, 40003, 40004
MAIN_CLASS = "StillSentinelClass"
DIALOG_CLASS = "#32770"
CAPTION = "StillSentinel"
SETTINGS_TITLE = "設定"
ABOUT_TITLE = "バージョン情報 StillSentinel"
START_TEXT = "StillSentinelが起動しました。"
EXIT_TEXT = "StillSentinelが終了しました。"


def base_env(prefix, display, user=USER):
    # Wine 10 aborts at start whenever TMPDIR is set (Wine 8 does not mind).
    env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "DISPLAY", "TMPDIR"))}
    env.update(WINEPREFIX=str(prefix), DISPLAY=display, WINEDEBUG="-all",
               WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d", USER=user, LANG="C.UTF-8")
    return env


def run_checked(cmd, env=None, timeout=120):
    return subprocess.run(list(map(str, cmd)), env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=timeout, check=True)


def windows_path(path):
    """How Wine names a Unix path: under drive Z:, as GetModuleFileNameW reports it."""
    return "Z:" + str(path).replace("/", "\\")


def parse_fields(line):
    """A helper's tab-separated 'kind<TAB>a=1<TAB>b=x y' line as (kind, {a: '1', b: 'x y'})."""
    kind, *parts = line.rstrip("\r\n").split("\t")
    return kind, dict(part.split("=", 1) for part in parts if "=" in part)


def hex_handle(hwnd):
    """A window handle as the helper takes it: hex, given as a number or already as text."""
    return f"{hwnd:x}" if isinstance(hwnd, int) else hwnd


def parse_rect(text):
    return tuple(int(v) for v in text.split(","))


def centre(rect):
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2


class Xvfb:
    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            # -r: no auto-repeat. A real key whose release a loaded machine delays
            # must not type itself again into the next window.
            ["Xvfb", "-displayfd", str(write_fd), "-r", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        data = b""
        deadline = time.monotonic() + WAIT_SECONDS
        # select, so that an Xvfb that neither reports nor exits cannot hold the run.
        while not data.endswith(b"\n") and select.select([read_fd], [], [], max(0, deadline - time.monotonic()))[0]:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            data += chunk
        os.close(read_fd)
        if not data.strip():
            self.stop()
            raise RuntimeError("Xvfb did not report a display")
        self.display = ":" + data.decode().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=10)


def ensure_template():
    """Creates the template prefix once per build tree (serialised across processes)."""
    TEMPLATE.parent.mkdir(parents=True, exist_ok=True)
    with open(str(TEMPLATE) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        ready = TEMPLATE / ".stillsentinel-ready"
        if ready.exists() and ready.read_text() == TEMPLATE_VERSION:
            return
        shutil.rmtree(TEMPLATE, ignore_errors=True)
        xvfb = Xvfb()
        try:
            env = base_env(TEMPLATE, xvfb.display)
            run_checked([*WINE, "wineboot", "-i"], env, timeout=300)
            # One import for both values (a Wine process start each would cost 2 s).
            # Dialog texts are Japanese: without the font they render as boxes.
            # With no window manager on the display, Wine waits 2 s for one to
            # withdraw every managed window it hides (each dialog close);
            # unmanaged windows close at once, and Wine draws their captions itself.
            values = TEMPLATE.parent / "wine-template.reg"
            values.write_text('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
                              '"MS UI Gothic"="IPAGothic"\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n'
                              '"Managed"="N"\n')
            run_checked([*WINE, "regedit", "/S", windows_path(values)], env)
            run_checked(["wineserver", "-w"], env, timeout=120)
        finally:
            xvfb.stop()
        ready.write_text(TEMPLATE_VERSION)


def clone_prefix(target):
    # Hard links keep a copy cheap; the registry files, the only ones Wine
    # rewrites, are real copies so that no test changes the template. Links
    # cannot cross file systems (a tmpfs /tmp): a plain copy then.
    if subprocess.run(["cp", "-al", str(TEMPLATE), str(target)], stderr=subprocess.DEVNULL).returncode:
        shutil.rmtree(target, ignore_errors=True)
        subprocess.run(["cp", "-a", str(TEMPLATE), str(target)], check=True)
    for reg in target.glob("*.reg"):
        reg.unlink()
        shutil.copy2(TEMPLATE / reg.name, reg)
    (target / ".stillsentinel-ready").unlink()


class App:
    """One run of StillSentinel.exe (or of a second instance)."""

    def __init__(self, wine, folder, stderr_path, extra_env=None):
        self.wine, self.folder, self.stderr_path = wine, Path(folder), Path(stderr_path)
        self.stderr_file = open(stderr_path, "wb")
        self.started = time.monotonic()
        self.proc = subprocess.Popen([*WINE, str(self.folder / EXE.name)], cwd=str(folder),
                                     env={**wine.env, **(extra_env or {})}, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=self.stderr_file, start_new_session=True)
        self.hwnd = self.pid = None
        self.probe_loaded = False
        self.parsed, self.traced = relay.Trace(), 0  # the trace read so far, and its length in bytes
        wine.apps.append(self)

    def window(self, timeout=WAIT_SECONDS):
        """Waits for the main window; returns its handle (also kept as .hwnd, with .pid)."""
        if self.hwnd is None:
            code, found, _ = self.wine.sstest("wait", MAIN_CLASS, "*", int(timeout * 1000), timeout=timeout)
            assert code == 0, f"no main window after {timeout} s (the program's exit code: {self.proc.poll()})"
            self.hwnd, self.pid = int(found["hwnd"], 16), int(found["pid"])
        return self.hwnd

    def post(self, message, wparam=0, lparam=0, hwnd=None):
        self.wine.post(hwnd or self.window(), message, wparam, lparam)

    def close(self, timeout=WAIT_SECONDS):
        """WM_CLOSE to the main window; returns the exit code."""
        self.post(WM_CLOSE)
        return self.wait_exit(timeout)

    def wait_exit(self, timeout=WAIT_SECONDS):
        try:
            return self.proc.wait(timeout=timeout)
        finally:
            if self.proc.poll() is not None:
                self.stderr_file.close()

    def stderr_text(self):
        # Read the file itself: the handle is closed once the program has ended.
        if not self.stderr_file.closed:
            self.stderr_file.flush()
        return self.stderr_path.read_text(errors="replace")

    def trace(self):
        """The relay trace so far (a snapshot). Only the whole lines added since
        the last look are parsed."""
        with open(self.stderr_path, "rb") as stderr:
            stderr.seek(self.traced)
            data = stderr.read()
        whole = data[:data.rfind(b"\n") + 1]
        self.traced += len(whole)
        return self.parsed.feed(whole.decode(errors="replace")).snapshot()

    def wait_trace(self, condition, timeout=WAIT_SECONDS, what=None):
        """Waits until condition(trace) holds; returns the last trace read
        (with what, a timeout fails the test)."""
        traces = []
        wait_until(lambda: traces.clear() or traces.append(self.trace()) or condition(traces[0]), timeout, what=what)
        return traces[0]

    def probe(self, *request, check=True):
        """Asks probe.dll inside the program (loaded on first use); returns (values, lines)."""
        self.window()
        if not self.probe_loaded:
            code, _, lines = self.wine.sstest("inject", self.pid, windows_path(PROBE_DLL))
            assert code == 0, f"probe not loaded: {lines}"
            self.probe_loaded = True
        code, values, lines = self.wine.sstest("probe", self.pid, *request)
        assert code == 0 or not check, f"probe {request}: {lines}"
        return values, lines

    def kill(self):
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait(timeout=10)
        self.stderr_file.close()


class Wine:
    """A private Wine prefix and display for one test."""

    def __init__(self, tmp_path):
        ensure_template()
        self.tmp = Path(tmp_path)
        self.prefix = self.tmp / "prefix"
        clone_prefix(self.prefix)
        self.xvfb = Xvfb()
        self.env = base_env(self.prefix, self.xvfb.display)
        self.apps = []
        self.server = None  # the sstest that runs the test's helper commands

    def run(self, *args, timeout=WAIT_SECONDS, check=False, env=None):
        return subprocess.run([*WINE, *map(str, args)], env={**self.env, **(env or {})}, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout, check=check)

    def reg_add(self, key, name, value, kind="REG_SZ"):
        """Sets a string value (name "" for the key's default value)."""
        self.check("regset", key, name, kind, value)

    def relay(self, *functions):
        """Traces calls of the named functions (e.g. 'user32.LockWorkStation') on
        stderr, also where Wine implements one in another DLL."""
        functions += tuple(name for name, imported in FORWARDED.items() if imported in functions)
        self.reg_add(r"HKCU\Software\Wine\Debug", "RelayInclude", ";".join(functions))
        self.env["WINEDEBUG"] = "+relay,+timestamp"

    def managed(self):
        """Undoes the template's unmanaged windows, for a test that types into
        the tray menu: the menu of a hidden window gets X's keyboard focus only
        when windows are managed (at the cost of a 2 s stall per dialog close)."""
        self.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "Y")

    def sstest(self, *args, timeout=WAIT_SECONDS):
        """Runs a helper command; returns (exit code, {key: value} of its key=value lines, raw lines).
        One sstest process serves every command of the test (a Wine process start each would cost more)."""
        if self.server is None or self.server.poll() is not None:
            self.server = subprocess.Popen([*WINE, str(SSTEST), "serve"], env={**self.env, "WINEDEBUG": "-all"},
                                           stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                           start_new_session=True)
        self.server.stdin.write(("\t".join(map(str, args)) + "\n").encode("utf-8"))
        self.server.stdin.flush()
        out, deadline, fd = b"", time.monotonic() + timeout + 30, self.server.stdout.fileno()
        # Read up to the end line, never to the end of the pipe: Wine's own
        # processes, when the server started them, hold its write end too.
        while not (end := re.search(rb"\x1e(-?\d+)\r?\n$", out)):
            if time.monotonic() > deadline or self.server.poll() is not None:
                self.stop_server()
                raise RuntimeError(f"sstest {args}: no answer (output so far: {out[-300:]!r})")
            if select.select([fd], [], [], 0.5)[0]:
                out += os.read(fd, 65536)
        lines = out[:end.start()].decode("utf-8", errors="replace").splitlines()
        values = {}
        for line in lines:
            key, sep, value = line.partition("=")
            if sep and not any(c in key for c in " \t"):
                values[key] = value
        return int(end.group(1)), values, lines

    def stop_server(self):
        if self.server and self.server.poll() is None:
            os.killpg(self.server.pid, signal.SIGKILL)
            self.server.wait(timeout=10)

    def check(self, *args, timeout=WAIT_SECONDS):
        """sstest that must succeed; returns (values, lines)."""
        code, values, lines = self.sstest(*args, timeout=timeout)
        assert code == 0, f"sstest {args} failed with {code}: {lines}"
        return values, lines

    def post(self, hwnd, message, wparam=0, lparam=0):
        values, _ = self.check("post", hex_handle(hwnd), message, wparam, lparam)
        assert values.get("posted") == "1", f"post of {message:#x} was refused"

    def install(self, name="app"):
        """A fresh folder holding a copy of the exe; returns its path."""
        folder = self.tmp / name
        folder.mkdir(parents=True, exist_ok=True)
        shutil.copy2(EXE, folder / EXE.name)
        return folder

    def launch(self, ini=None, relay=(), channels="", folder=None, name="app", window=True, env=None):
        """The one way to start the program: a fresh copy of the exe (or the one
        in folder), its INI (values or bytes, as write_ini takes them; None: no
        file), the relay of the named functions and any further debug channels,
        then the start; waits for the main window unless window is False (when
        a box may come first). Returns the App; app.folder is its folder."""
        folder = Path(folder) if folder else self.install(name)
        if ini is not None:
            write_ini(folder, ini, self.env["USER"])
        if relay:
            self.relay(*relay)
        self.env["WINEDEBUG"] += channels
        app = App(self, folder, self.tmp / f"{name}-{len(self.apps)}.stderr", env)
        if window:
            app.window()
        return app

    def wait_window(self, cls=MAIN_CLASS, title="*", timeout=WAIT_SECONDS, shown=False, check=True):
        """The first top-level window of that class and title (shown: a visible
        one) as a dict (hwnd, pid, visible, class, title); None after timeout
        unless check fails the test."""
        code, values, _ = self.sstest("wait", cls, title, int(timeout * 1000), *(["shown"] if shown else []),
                                      timeout=timeout)
        assert code == 0 or not check, f"window {cls!r}/{title!r} did not appear"
        return values if code == 0 else None

    def wait_gone(self, hwnd, timeout=WAIT_SECONDS):
        return self.sstest("waitgone", hex_handle(hwnd), int(timeout * 1000), timeout=timeout)[0] == 0

    def windows(self, pid=0):
        """Top-level windows (of pid) and their descendants as dicts: level
        ("top"/"child"), hwnd, pid, owner, class, visible, rect, title."""
        found = []
        for line in self.sstest("windows", pid)[2]:
            level, fields = parse_fields(line)
            if level in ("top", "child") and "hwnd" in fields:
                fields["level"], fields["rect"] = level, parse_rect(fields["rect"])
                found.append(fields)
        return found

    def dump(self, hwnd):
        """(the window, [its direct children]) as dicts, or (None, []) once it is gone."""
        code, _, lines = self.sstest("dump", hex_handle(hwnd))
        entries = []
        for kind, fields in map(parse_fields, lines if code == 0 else []):
            if kind in ("window", "child"):
                fields["rect"], fields["id"] = parse_rect(fields["rect"]), int(fields["id"])
                for key in ("style", "exstyle"):
                    fields[key] = int(fields[key], 16)
                entries.append(fields)
        return (entries[0], entries[1:]) if entries else (None, [])

    # --- message boxes (caption "StillSentinel") -------------------------
    def message_box(self, timeout=WAIT_SECONDS):
        """The first shown box with our caption as a dict (hwnd, pid, owner,
        count: how many there are, text, buttons: [(id, text)]), or None after timeout."""
        if not self.wait_window(DIALOG_CLASS, CAPTION, timeout, shown=True, check=False):
            return None
        boxes = [w for w in self.windows() if (w["level"], w["class"], w["title"], w["visible"]) ==
                 ("top", DIALOG_CLASS, CAPTION, "1")]
        _, children = self.dump(boxes[0]["hwnd"])
        # A box's text is the static 0xFFFF.
        text = next((c["text"] for c in children if c["id"] & 0xFFFF == 0xFFFF), None)
        buttons = [(c["id"], c["text"]) for c in children if c["class"].lower() == "button"]
        return {**boxes[0], "count": len(boxes), "text": text, "buttons": buttons}

    def dismiss_box(self, box, button=IDOK):
        """Presses the box's button as a click would (its own modal loop handles it)."""
        self.post(box["hwnd"], WM_COMMAND, button)
        assert self.wait_gone(box["hwnd"]), f"message box {box['hwnd']} did not go away"

    def window_or_box(self, timeout=WAIT_SECONDS):
        """Whichever comes first: the main window ("window", values) or a box
        with our caption ("box", values), so that a box blocking start-up fails
        a test at once instead of after a long wait for the window."""
        def seen():
            window = self.wait_window(timeout=0, check=False)
            box = None if window else self.message_box(timeout=0)
            return ("window", window) if window else ("box", box) if box else None
        return wait_until(seen, timeout, what="the main window or a message box")

    # --- the shell's 'open' verbs ---------------------------------------
    def record_verbs(self, record_file, classes):
        """Points the shell's 'open' of these HKCR classes (Folder, Directory,
        http, https) at sstest's recorder, so that nothing real starts."""
        command = f'"{windows_path(SSTEST)}" record "{windows_path(record_file)}" "%1"'
        for cls in classes:
            self.reg_add(rf"HKCR\{cls}\shell\open\command", "", command)
        if "Folder" in classes:
            # Wine's file browser is reached through DDE first.
            self.sstest("regdelete", r"HKCR\Folder\shell\open\ddeexec")

    # --- the X display --------------------------------------------------
    def x(self, *args):
        """Real X input on the test's display through xdotool."""
        return run_checked(["xdotool", *args], {**os.environ, "DISPLAY": self.xvfb.display}, WAIT_SECONDS)

    def shown_windows(self, name):
        """The X windows shown with this name; none while the search fails: xdotool ends with an X
        error when a window it lists goes away before it is asked about (the shell's passing ones)."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True,
                               stdin=subprocess.DEVNULL, env={**os.environ, "DISPLAY": self.xvfb.display},
                               timeout=WAIT_SECONDS)
        return found.stdout.decode().split() if found.returncode == 0 else []

    def screenshot(self, path="-", rect=None, fmt="png"):
        """The screen, or the part rect (left, top, right, bottom), as a file, or as bytes for path '-'."""
        crop = []
        if rect:
            left, top, right, bottom = rect
            crop = ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
        target = f"{fmt}:-" if path == "-" else str(path)
        return run_checked(["import", "-display", self.xvfb.display, "-window", "root", *crop, "-depth", "8",
                            target], timeout=WAIT_SECONDS).stdout

    def shutdown(self):
        for app in self.apps:
            app.kill()
        self.stop_server()
        # The prefix's processes end within milliseconds; the server then saves
        # the registry of a prefix about to be thrown away, and "wineserver -k"
        # polls for its end, 0.75 s in all. No test waits for that: the session
        # reaps the shutdowns at its end.
        SHUTDOWNS.append(subprocess.Popen(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.xvfb.stop()


SHUTDOWNS = []


def pytest_sessionfinish(session):
    for shutdown in SHUTDOWNS:
        shutdown.wait(timeout=WAIT_SECONDS)


def read_records(record_file):
    """The recorder's runs, one dict per run: cwd, argc, arg1, ..."""
    if not Path(record_file).exists():
        return []
    return [parse_fields("run\t" + line)[1] for line in Path(record_file).read_text(encoding="utf-8").splitlines()]


@contextmanager
def private_wine(tmp_path):
    """A Wine for one test (or for one module's rows), shut down afterwards."""
    if not EXE.exists() or not SSTEST.exists() or not PROBE_DLL.exists():
        pytest.fail(f"build {EXE}, {SSTEST} and {PROBE_DLL} first")
    session = Wine(tmp_path)
    try:
        yield session
    finally:
        session.shutdown()


@pytest.fixture
def wine(tmp_path):
    with private_wine(tmp_path) as session:
        yield session


def _walk(root):
    # Symbolic links are not followed: a prefix links its user folders to $HOME.
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            yield Path(folder) / name


def snapshot(root):
    """{relative path: (kind, size, mtime_ns, sha256)} of everything under root."""
    def entry(path):
        info = path.lstat()
        if stat.S_ISREG(info.st_mode):
            return "file", info.st_size, info.st_mtime_ns, hashlib.sha256(path.read_bytes()).hexdigest()
        return "dir" if stat.S_ISDIR(info.st_mode) else "other", 0, info.st_mtime_ns, ""
    return {str(path.relative_to(root)): entry(path) for path in _walk(root)}


def files_named_like(root, needle):
    return sorted(str(p) for p in _walk(root) if needle.lower() in p.name.lower())


def chattr(flag, path):
    """chattr +i / -i: the only way to make a file or folder unwritable for root under Wine."""
    result = subprocess.run(["chattr", flag, str(path)], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=WAIT_SECONDS)
    if result.returncode != 0:
        pytest.fail(f"chattr {flag} {path} failed (needs e2fsprogs and an ext2/3/4 file system): "
                    f"{result.stderr.decode(errors='replace').strip()}")


@contextmanager
def immutable(path):
    """Keeps path unwritable, even for root, for the duration; always undone."""
    chattr("+i", path)
    try:
        yield path
    finally:
        chattr("-i", path)
