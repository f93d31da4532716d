"""Log collections for the report's tests and examples, written as the program writes them."""
import datetime
import itertools

from conftest import EXIT_TEXT, START_TEXT
from log_support import BOM, daily_name

STATE_TEXT = "セッション状態: アクティブ"


def run_lines(day, start, end, every, events=(), asleep=(), end_text=EXIT_TEXT):
    """One run of the program from start to end ("HH:MM:SS" on day, or a datetime): its start line, the
    events [(time, text)], session-state lines every `every` seconds except within asleep ((from, to) pairs),
    and end_text last (a session-state text for a run that dies without a word)."""
    at = lambda t: t if isinstance(t, datetime.datetime) else datetime.datetime.combine(  # noqa: E731
        day, datetime.time.fromisoformat(t))
    quiet, step = [(at(a), at(b)) for a, b in asleep], datetime.timedelta(seconds=every)
    beats = itertools.takewhile(lambda t: t < at(end), (at(start) + step * n for n in itertools.count(1)))
    return [(at(start), START_TEXT), *((at(t), text) for t, text in events),
            *((t, STATE_TEXT) for t in beats if not any(a <= t <= b for a, b in quiet)), (at(end), end_text)]


def write_collection(root, collection):
    """{log folder: [(datetime, text)]} as files under root: one per date, a byte-order mark, CR LF."""
    for folder, lines in collection.items():
        (root / folder).mkdir(parents=True, exist_ok=True)
        in_order = sorted(lines, key=lambda line: line[0])  # by time alone: lines of one second keep their order
        for day, group in itertools.groupby(in_order, key=lambda line: line[0].date()):
            text = "".join(f"{moment:%Y/%m/%d %H:%M:%S} - {line}\r\n" for moment, line in group)
            (root / folder / daily_name(day)).write_bytes(BOM + text.encode())
