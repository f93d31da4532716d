"""The per-user INI file beside the exe, written and read (here only) byte for byte."""
from pathlib import Path

SECTION = "StillSentinel"
KEYS = ("TimerIntervalSec", "IdleLimitSeconds", "IdleMoveThreshold", "LogIntervalSec")
DEFAULTS = (10, 900, 3, 30)
USER = "tester"  # the harness's default USER, which Wine's GetUserNameW returns


def ini_path(folder, user=USER):
    return Path(folder) / f"{user}_{SECTION}.ini"


def ini_bytes(values):
    """A file holding only our section with these keys, in order, laid out as
    the profile functions write it (CR LF, key=value). values: a dict, or the
    four values in KEYS order."""
    pairs = values.items() if isinstance(values, dict) else zip(KEYS, values)
    lines = [f"[{SECTION}]"] + [f"{key}={value}" for key, value in pairs]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def write_ini(folder, values, user=USER):
    """The user's INI before the program starts: values (a dict, keys not
    given left out, or the four in KEYS order) or the file's bytes."""
    path = ini_path(folder, user)
    path.write_bytes(values if isinstance(values, bytes) else ini_bytes(values))
    return path


def read_ini(folder, user=USER):
    """The user's INI beside the exe, which must be there: its bytes (the one reader)."""
    path = ini_path(folder, user)
    assert path.exists(), f"{path.name} was not written beside the exe"
    return path.read_bytes()


def ini_values(data):
    """{key: value text} of our section in an INI file's bytes."""
    values, section = {}, None
    for line in data.decode("ascii").splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1]
        elif section == SECTION and "=" in line:
            key, _, value = line.partition("=")
            values[key.strip()] = value.strip()
    return values
