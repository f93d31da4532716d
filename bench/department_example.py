#!/usr/bin/env python3
"""The README's department example: 15 PCs over October and November 2026 at a 60 s heartbeat, each a
habit of its own: office days ending anywhere from 17:30 to near midnight (one person far over 45 hours
a month), a Saturday and a holiday worked, a laptop that sleeps through meetings, a crash, and a night
shift from 21:00 to 6:00. Deterministic: the same files on every run.

    python3 bench/department_example.py DIR     writes DIR/PCnn/<user>_log/YYYYMMDD.txt
"""
import datetime
import random
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "system"))
from collection_support import STATE_TEXT, run_lines, write_collection  # noqa: E402
from conftest import EXIT_TEXT  # noqa: E402
from report_support import LOCK_TEXT, RESUME_TEXT, SUSPEND_TEXT, UNLOCK_TEXT  # noqa: E402

FIRST, LAST = datetime.date(2026, 10, 1), datetime.date(2026, 11, 30)
HOLIDAYS = {datetime.date(2026, 10, 12), datetime.date(2026, 11, 3), datetime.date(2026, 11, 23)}
USERS = ["sato", "suzuki", "takahashi", "tanaka", "ito", "watanabe", "yamamoto", "nakamura", "kobayashi",
         "kato", "yoshida", "yamada", "sasaki", "yamaguchi", "matsumoto"]
# Per office worker: the latest usual end (minutes past 17:00) and how often a day runs late.
HABITS = [(60, .1), (90, .2), (120, .3), (60, .1), (390, .8), (150, .4), (60, .05), (120, .3), (240, .5),
          (90, .2), (60, .1), (180, .4)]


def clock(minutes, seconds=0):
    return f"{minutes // 60:02d}:{minutes % 60:02d}:{seconds:02d}"


def office_day(day, rng, latest, late_share, sleeps=0, dies=False):
    start = 8 * 60 + rng.randrange(0, 60)
    end = 17 * 60 + 30 + (rng.randrange(0, latest) if rng.random() < late_share else rng.randrange(0, 45))
    events, asleep = [("12:00:30", LOCK_TEXT), ("13:00:30", UNLOCK_TEXT)], []
    for n in range(sleeps):  # a meeting with the lid closed
        at = 14 * 60 + n * 90 + rng.randrange(0, 30)
        events += [(clock(at, 30), SUSPEND_TEXT), (clock(at + 45, 30), RESUME_TEXT)]
        asleep.append((clock(at, 30), clock(at + 45, 30)))
    if dies:
        end = 15 * 60
    return run_lines(day, clock(start), clock(min(end, 23 * 60 + 50)), 60, events, asleep,
                     end_text=STATE_TEXT if dies else EXIT_TEXT)


def department():
    """{log folder: [(datetime, text)]}"""
    rng = random.Random(23)
    days = [FIRST + datetime.timedelta(n) for n in range((LAST - FIRST).days + 1)]
    workdays = [d for d in days if d.weekday() < 5 and d not in HOLIDAYS]
    collection = {}
    for n, user in enumerate(USERS, 1):
        lines = []
        if n <= len(HABITS):
            latest, share = HABITS[n - 1]
            worked = list(workdays)
            if n == 8:  # a Saturday and Sports Day
                worked += [datetime.date(2026, 10, 10), datetime.date(2026, 10, 12)]
            for day in sorted(worked):
                lines += office_day(day, rng, latest, share, dies=(n == 3 and day == datetime.date(2026, 11, 12)))
        elif n in (13, 14):  # laptops that sleep through meetings
            for day in workdays:
                lines += office_day(day, rng, 60, .1, sleeps=1 + (n == 13))
        else:  # the night shift, 21:00 to 6:00, Sunday to Thursday nights
            for day in days:
                if (day + datetime.timedelta(1)).weekday() < 5:
                    lines += run_lines(day, "21:00:00", datetime.datetime.combine(day + datetime.timedelta(1),
                                                                                   datetime.time(6)), 60)
        collection[f"PC{n:02d}/{user}_log"] = lines
    return collection


if __name__ == "__main__":
    write_collection(Path(sys.argv[1]), department())
