"""Fixtures for driving the real StillSentinel.exe on Wine under Xvfb.

Every test gets its own Wine prefix (a hard-linked copy of one template made
once per build tree), its own Xvfb display and its own folder holding a fresh
copy of the exe. Only processes started here are ended, by PID or through
the test's own wineserver.
"""
import fcntl
from contextlib import contextmanager
import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("STILLSENTINEL_BUILD", ROOT / "build")).resolve()
EXE = BUILD / "StillSentinel.exe"
SSTEST = BUILD / "tests" / "helpers" / "sstest.exe"
TEMPLATE = BUILD / "wine-template"

WM_CLOSE = 0x0010
WAIT_SECONDS = 30  # upper bound for any single wait on Wine


def base_env(prefix, display, user="tester"):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "DISPLAY"))}
    env.update(
        WINEPREFIX=str(prefix),
        DISPLAY=display,
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d",
        USER=user,
        LANG="C.UTF-8",
    )
    return env


def run_checked(cmd, env, timeout=120):
    return subprocess.run(cmd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=timeout, check=True)


class Xvfb:
    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_fd)
        data = b""
        deadline = time.monotonic() + WAIT_SECONDS
        while not data.endswith(b"\n") and time.monotonic() < deadline:
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
        if (TEMPLATE / ".stillsentinel-ready").exists():
            return
        shutil.rmtree(TEMPLATE, ignore_errors=True)
        xvfb = Xvfb()
        try:
            env = base_env(TEMPLATE, xvfb.display)
            run_checked(["wineboot", "-i"], env, timeout=300)
            # Dialog texts are Japanese: without this they render as boxes.
            run_checked(["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v",
                         "MS UI Gothic", "/t", "REG_SZ", "/d", "IPAGothic", "/f"], env)
            run_checked(["wineserver", "-w"], env, timeout=120)
        finally:
            xvfb.stop()
        (TEMPLATE / ".stillsentinel-ready").write_text("ok\n")


def clone_prefix(target):
    # Hard links keep a copy cheap; the registry files, the only ones Wine
    # rewrites, are real copies so that no test changes the template.
    subprocess.run(["cp", "-al", str(TEMPLATE), str(target)], check=True)
    for reg in target.glob("*.reg"):
        reg.unlink()
        shutil.copy2(TEMPLATE / reg.name, reg)
    (target / ".stillsentinel-ready").unlink()


class App:
    """One run of StillSentinel.exe (or of a second instance)."""

    def __init__(self, wine, folder, stderr_path, extra_env=None):
        self.wine = wine
        self.folder = folder
        self.stderr_path = stderr_path
        env = dict(wine.env)
        env.update(extra_env or {})
        self.stderr_file = open(stderr_path, "wb")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(["wine", str(folder / "StillSentinel.exe")], cwd=str(folder), env=env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=self.stderr_file, start_new_session=True)
        wine.apps.append(self)

    def wait_exit(self, timeout=WAIT_SECONDS):
        try:
            return self.proc.wait(timeout=timeout)
        finally:
            if self.proc.poll() is not None:
                self.stderr_file.close()

    def stderr_text(self):
        if not self.stderr_file.closed:
            self.stderr_file.flush()
        return Path(self.stderr_path).read_text(errors="replace")

    def kill(self):
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait(timeout=10)
        self.stderr_file.close()


class Wine:
    """A private Wine prefix and display for one test."""

    def __init__(self, tmp_path):
        ensure_template()
        self.tmp = tmp_path
        self.prefix = tmp_path / "prefix"
        clone_prefix(self.prefix)
        self.xvfb = Xvfb()
        self.env = base_env(self.prefix, self.xvfb.display)
        self.apps = []

    def set_user(self, user):
        self.env["USER"] = user

    def run(self, *args, timeout=WAIT_SECONDS, check=False, env=None):
        full_env = dict(self.env)
        full_env.update(env or {})
        return subprocess.run(["wine", *map(str, args)], env=full_env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout, check=check)

    def reg_add(self, key, name, value, kind="REG_SZ"):
        self.run("reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f", check=True)

    def relay(self, *functions):
        """Traces calls of the named functions (e.g. 'user32.LockWorkStation') on stderr."""
        self.reg_add(r"HKCU\Software\Wine\Debug", "RelayInclude", ";".join(functions))
        self.env["WINEDEBUG"] = "+relay,+timestamp"

    def sstest(self, *args, timeout=WAIT_SECONDS):
        """Runs a helper command; returns (exit code, dict of key=value lines, raw lines)."""
        result = subprocess.run(["wine", str(SSTEST), *map(str, args)],
                                env={**self.env, "WINEDEBUG": "-all"}, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout + 30)
        lines = result.stdout.decode("utf-8", errors="replace").splitlines()
        values = {}
        for line in lines:
            key, sep, value = line.partition("=")
            if sep and " " not in key:
                values[key] = value
        return result.returncode, values, lines

    def install(self, name="app"):
        """A fresh folder holding a copy of the exe; returns its path."""
        folder = self.tmp / name
        folder.mkdir(parents=True, exist_ok=True)
        shutil.copy2(EXE, folder / "StillSentinel.exe")
        return folder

    def start(self, folder, name="app", extra_env=None):
        return App(self, folder, self.tmp / f"{name}-{len(self.apps)}.stderr", extra_env)

    def wait_window(self, cls="StillSentinelClass", title="*", timeout_ms=WAIT_SECONDS * 1000):
        code, values, _ = self.sstest("wait", cls, title, timeout_ms)
        assert code == 0, f"window {cls!r}/{title!r} did not appear"
        return values

    def close_main(self, app, timeout=WAIT_SECONDS):
        window = self.wait_window()
        self.sstest("post", window["hwnd"], WM_CLOSE, 0, 0)
        return app.wait_exit(timeout)

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.xvfb.display, "-window", "root", str(path)],
                       check=True, timeout=WAIT_SECONDS)

    def shutdown(self):
        for app in self.apps:
            app.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=WAIT_SECONDS)
        self.xvfb.stop()


@pytest.fixture
def wine(tmp_path):
    if not EXE.exists() or not SSTEST.exists():
        pytest.fail(f"build {EXE} and {SSTEST} first")
    session = Wine(tmp_path)
    try:
        yield session
    finally:
        session.shutdown()


def windows_path(path):
    """How Wine names a Unix path: under drive Z:, as GetModuleFileNameW reports it."""
    return "Z:" + str(path).replace("/", "\\")


def parse_fields(line, tail="text"):
    """A helper's 'kind a=1 b=2 <tail>=free text' line as (kind, fields); the free
    text, which may hold spaces and '=', comes last and stays whole."""
    head, _, rest = line.partition(f" {tail}=")
    kind, *parts = head.split()
    fields = dict(part.split("=", 1) for part in parts)
    fields[tail] = rest
    return kind, fields


def wait_until(predicate, timeout=WAIT_SECONDS, interval=0.05):
    """Polls predicate until it gives a true value or timeout seconds pass; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


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


def relay_calls(text, function):
    """Lines of a relay trace that record a call of function (e.g. 'user32.LockWorkStation')."""
    # Wine prints some DLL names in upper case (KERNEL32.WritePrivateProfileStringW).
    needle = f":call {function}(".lower()
    return [line for line in text.splitlines() if needle in line.lower()]


def relay_time(line):
    """The +timestamp value (seconds) at the start of a relay line."""
    return float(line.split(":", 1)[0])
