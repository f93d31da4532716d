"""The one bounded wait of the system tests."""
import time

import pytest

WAIT_SECONDS = 30  # upper bound for any single wait on Wine


def wait_until(predicate, timeout=WAIT_SECONDS, interval=0.05, what=None):
    """Polls predicate until it gives a true value, and returns that value.
    After timeout seconds: with what, the test fails naming it; without, the
    last (false) value is returned for the caller to judge."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            if what:
                pytest.fail(f"timed out after {timeout} s waiting for {what}")
            return value
        time.sleep(interval)


def stays(predicate, seconds, what):
    """Checks for seconds that predicate keeps holding; fails at the first moment it does not."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        assert predicate(), f"{what} no longer holds"
        time.sleep(0.05)
    assert predicate(), f"{what} no longer holds"
