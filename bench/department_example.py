#!/usr/bin/env python3
"""The README's department example: 15 PCs over October and November 2026 at a 60 s heartbeat, each a
habit of its own: office days ending anywhere from 17:30 to near midnight (one person far over 45 hours
a month), a Saturday and a holiday worked, a laptop that sleeps through meetings, a crash, and a night
shift from 21:00 to 6:00. Deterministic: the same files on every run.

    python3 bench/department_example.py DIR     writes DIR/logs/PCnn/<user>_log/YYYYMMDD.txt and
                                                DIR/users.csv (names, departments, the night shift's day start)
    stillsentinel-report --users DIR/users.csv --out OUT DIR/logs
"""
import datetime
import random
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "system"))
from conftest import EXIT_TEXT  # noqa: E402
from report_support import (LOCK_TEXT, RESUME_TEXT, STATE_TEXT, SUSPEND_TEXT, UNLOCK_TEXT,  # noqa: E402
                            run_lines, write_collection)

FIRST, LAST = datetime.date(2026, 10, 1), datetime.date(2026, 11, 30)
HOLIDAYS = {datetime.date(2026, 10, 12), datetime.date(2026, 11, 3), datetime.date(2026, 11, 23)}
NAMES = ["佐藤 一郎", "鈴木 花子", "高橋 健", "田中 美咲", "伊藤 翔", "渡辺 由美", "山本 大輔", "中村 さくら", "小林 誠",
         "加藤 恵", "吉田 拓也", "山田 彩", "佐々木 亮", "山口 直子", "松本 守"]
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
        else:  # the night shift, 21:00 to 6:00, on the evenings of working days
            for day in workdays:
                lines += run_lines(day, "21:00:00", datetime.datetime.combine(day + datetime.timedelta(1),
                                                                               datetime.time(6)), 60)
        collection[f"PC{n:02d}/{user}_log"] = lines
    return collection


def users_csv():
    """The users file: each person's name and department, and the night shift's day start at noon."""
    rows = [f"{user},{name},{'営業部' if n <= 8 else '開発部' if n <= 14 else '設備管理部'},{'12:00' if n == 15 else ''}"
            for n, (user, name) in enumerate(zip(USERS, NAMES), 1)]
    return "ユーザー,氏名,部署,日の始まり\r\n" + "\r\n".join(rows) + "\r\n"


def write_example(root):
    """root/logs and root/users.csv; returns the report's options for them."""
    write_collection(root / "logs", department())
    (root / "users.csv").write_text(users_csv(), encoding="utf-8")
    return ["--users", str(root / "users.csv"), str(root / "logs")]


if __name__ == "__main__":
    write_example(Path(sys.argv[1]))
