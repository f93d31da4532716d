"""Wine's relay trace (+relay,+timestamp on a program's stderr), read in one place.

Wine prints a line when a traced function is called and another when it
returns, and the same for every window, dialog and hook procedure it calls:
    0123.456:0024:Call user32.SetTimer(00010062,00000001,00002710,00000000) ret=140001234
    0123.457:0024:Ret  user32.SetTimer() retval=00000001 ret=140001234
    0123.458:0024:Call window proc 0x140001000 (hwnd=0x10062,msg=WM_TIMER,wp=00000001,lp=00000000)
Other processes of the prefix (explorer, services) write to the same stderr,
and Wine 8 and Wine 10 add lines of their own: whatever does not parse is
skipped.
"""
import re

from wineplatform import FORWARDED

_LINE = re.compile(r"^(\d+\.\d+):([0-9a-f]{4,}):(Call|Ret) +(.*)$")
# A dialog procedure's Ret also shows its DWLP_MSGRESULT ("result=").
_PROC = re.compile(r"^(window|dialog) proc (?:0x)?([0-9A-Fa-f]+) \(([^)]*)\)"
                   r"(?: retval=([0-9a-f]+))?(?: result=[0-9a-f]+)?$")
_API = re.compile(r"^(\w+)\.(\w+)\((.*)\)(?: retval=([0-9a-f]+))? ret=([0-9a-f]+)$")
_ARG = re.compile(r'^([0-9a-fA-F]+)(?: L?"(.*)")?$')
# The message spy (+message) prints each DefWindowProc call, also where relay
# does not trace user32.DefWindowProcW (see wineplatform): read as its Call and
# Ret, with no caller known.
_SPY_DEFPROC = (
    (re.compile(r"^([\d.]+:[0-9a-f]{4,}):trace:message:spy_enter_message +\(0x([0-9a-f]+)\) +DefWindowProc:"
                r"\[([0-9a-f]{4})\].* wp=([0-9a-f]+) lp=([0-9a-f]+)$", re.M), r"\1:Call user32.DefWindowProcW(\2,\3,\4,\5) ret=0"),
    (re.compile(r"^([\d.]+:[0-9a-f]{4,}):trace:message:spy_exit_message +\(0x([0-9a-f]+)\) +DefWindowProc: "
                r"\[([0-9a-f]{4})\].* returned ([0-9a-f]+)$", re.M), r"\1:Ret  user32.DefWindowProcW() retval=\4 ret=0"))
_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t"}


class Arg(int):
    """One argument as printed: its value, and for a string pointer the text."""
    text = None

    @property
    def value(self):
        return int(self)

    @property
    def int32(self):
        """A 32-bit parameter: the register's upper half is undefined on x64."""
        return self & 0xFFFFFFFF


def low32(value):
    return value & 0xFFFFFFFF


def _unescape(text):
    """Undoes Wine's escaping of strings (\\\\, \\", \\n, \\xxxx)."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and text[i + 1:i + 2] in _ESCAPES:
            out.append(_ESCAPES[text[i + 1]])
            i += 2
        elif text[i] == "\\" and re.fullmatch(r"[0-9a-fA-F]{4}", text[i + 1:i + 5]):
            out.append(chr(int(text[i + 1:i + 5], 16)))
            i += 5
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def _split_args(text):
    args = []
    for part in re.findall(r'(?:[^,"]|"(?:[^"\\]|\\.)*")+', text):
        match = _ARG.match(part.strip())
        if not match:
            continue
        arg = Arg(int(match.group(1), 16))
        if match.group(2) is not None:
            arg.text = _unescape(match.group(2))
        args.append(arg)
    return args


class Event:
    """A Call line, or a Ret line, of one function or procedure.

    name is "dll.Function" (the dll in lower case: Wine spells it the way the
    caller imported it) or, for a procedure, the message as Wine prints it
    (a known one by name, a registered one quoted, others in hex). A Call and
    its Ret know each other (call.ret, ret.call); both carry the retval."""

    def __init__(self, index, time, tid, kind, what, name, args=(), caller=None, retval=None, **message):
        self.index, self.time, self.tid, self.kind, self.what, self.name = index, time, tid, kind, what, name
        self.args, self.caller, self.retval = list(args), caller, retval
        self.hwnd, self.wp, self.lp, self.proc = (message.get(k) for k in ("hwnd", "wp", "lp", "proc"))
        self.call = self.ret = None

    @property
    def ret_index(self):
        return self.ret.index if self.ret else None

    def is_msg(self, number=None, name=None):
        return self.what != "api" and (
            (name is not None and self.name in (name, f'"{name}"'))
            or (number is not None and self.name.lower() in (f"{number:04x}", f"{number:x}")))

    def spans(self, other):
        """Whether other happened between this call and its return."""
        return self.index < other.index and (self.ret is None or other.index < self.ret.index)

    def __repr__(self):
        return f"#{self.index} {self.tid} {self.kind} {self.name}({','.join(map(hex, self.args))}) -> {self.retval}"


class Trace:
    """The parsed Call/Ret lines of a trace, in order."""

    def __init__(self, text=""):
        self.events, self.open_calls = [], {}
        self.feed(text)

    def snapshot(self):
        """The trace as it is now, which further feeding leaves as it is."""
        copy = Trace()
        copy.events = list(self.events)
        return copy

    def feed(self, text):
        """Parses whole lines that continue the trace, so that a growing trace
        is read once, not again at every look."""
        open_calls = self.open_calls
        for spy, call in _SPY_DEFPROC:
            text = spy.sub(call, text)
        for line in text.splitlines():
            match = _LINE.match(line)
            if not match:
                continue
            time, tid, kind, rest = float(match.group(1)), match.group(2), match.group(3), match.group(4)
            proc, api = _PROC.match(rest), _API.match(rest)
            if proc:
                fields = dict(f.split("=", 1) for f in proc.group(3).split(",") if "=" in f)
                if not {"hwnd", "msg", "wp", "lp"} <= fields.keys():
                    continue
                key = (tid, proc.group(1), proc.group(2), proc.group(3))
                event = Event(len(self.events), time, tid, kind, proc.group(1) + " proc", fields["msg"],
                              retval=int(proc.group(4), 16) if proc.group(4) else None, proc=int(proc.group(2), 16),
                              hwnd=int(fields["hwnd"], 16), wp=int(fields["wp"], 16), lp=int(fields["lp"], 16))
            elif api:
                name = f"{api.group(1).lower()}.{api.group(2)}"
                key = (tid, name, api.group(5))
                event = Event(len(self.events), time, tid, kind, "api", name,
                              _split_args(api.group(3)) if kind == "Call" else (), int(api.group(5), 16),
                              int(api.group(4), 16) if api.group(4) else None)
            else:
                continue
            self.events.append(event)
            if kind == "Call":
                open_calls.setdefault(key, []).append(event)
            elif open_calls.get(key):
                event.call = open_calls[key].pop()
                event.call.ret, event.call.retval = event, event.retval
                event.args, event.hwnd, event.wp, event.lp = (event.call.args, event.call.hwnd, event.call.wp,
                                                              event.call.lp)
        return self

    def select(self, names=None, tid=None, kinds=("Call",), hwnd=None):
        """Events of the named functions or messages ("dll.Function": dll in any
        case), optionally of one thread or sent to one window."""
        wanted = None if names is None else {_normal(n) for n in names}
        return [e for e in self.events
                if e.kind in kinds and (wanted is None or _normal(e.name) in wanted)
                and (tid is None or e.tid == tid)
                and (hwnd is None or e.hwnd == hwnd)]

    def calls(self, function, tid=None):
        return self.select((function,), tid)

    def messages(self, hwnd, tid=None):
        """Calls of any procedure for the window hwnd."""
        return [e for e in self.select(None, tid, hwnd=hwnd) if e.what != "api"]

    def thread_of_window(self, hwnd):
        """The thread that runs hwnd's procedure: the program's GUI thread."""
        return next((e.tid for e in self.events if e.what != "api" and e.hwnd == hwnd), None)

    def thread_of_call(self, function, text):
        """The thread of the first call of function with a string argument holding text."""
        return next((e.tid for e in self.calls(function) if any(text in (a.text or "") for a in e.args)), None)


def _normal(name):
    dll, dot, func = name.partition(".")
    return FORWARDED.get(f"{dll.lower()}.{func}", f"{dll.lower()}.{func}") if dot else name


def ok_sequence(events, expected):
    """Checks, as Wine's own tests do, that the calls of the expected names
    among events come in exactly this order, with these arguments; returns
    them. expected: names, or (name, {argument index: value}) pairs (a value
    also matches the argument's low 32 bits)."""
    steps = [(step, {}) if isinstance(step, str) else step for step in expected]
    wanted = {_normal(name) for name, _ in steps}
    seen = [e for e in events if e.kind == "Call" and _normal(e.name) in wanted]
    assert [_normal(e.name) for e in seen] == [_normal(name) for name, _ in steps], f"the sequence was {seen}"
    for event, (name, args) in zip(seen, steps):
        for i, value in args.items():
            assert value in (event.args[i].value, event.args[i].int32), f"{name} argument {i}: {event}"
    return seen


def image_range(exe, base):
    """The addresses of the PE32+ file exe's image loaded at base (its SizeOfImage)."""
    data = exe.read_bytes()[:4096]
    pe = int.from_bytes(data[0x3C:0x40], "little")
    return range(base, base + int.from_bytes(data[pe + 24 + 56:pe + 24 + 60], "little"))


class Own:
    """The program's own calls in its traces: those of its GUI thread tid and,
    where its image is known, made from that image (on the same thread the
    system DLLs also call one another). The one rule every test uses, made
    from one of three anchors below."""

    def __init__(self, tid, image=None, hwnd=None):
        assert tid, "the trace does not show the program's thread"
        self.tid, self.image, self.hwnd = tid, image, hwnd

    @classmethod
    def of_mutex(cls, trace):
        """The thread that made the single-instance mutex: also an instance
        that never makes a window has done that."""
        return cls(trace.thread_of_call("kernel32.CreateMutexW", "StillSentinel_Mutex"))

    @classmethod
    def of_window(cls, trace, hwnd, exe=None):
        """The thread that runs the main window hwnd's procedure; with the exe's
        file, also its image, which start-up's first LoadIconW (the class icon) names."""
        tid = trace.thread_of_window(hwnd)
        image = exe and image_range(exe, trace.calls("user32.LoadIconW", tid)[0].args[0].value)
        return cls(tid, image, hwnd)

    @classmethod
    def of_probe(cls, ping):
        """The GUI thread and image as probe.dll inside the program reports them
        (the trace spells a thread in hex, with four digits at least)."""
        exe = int(ping["exe"], 16)
        return cls(f"{int(ping['thread']):04x}", range(exe, exe + int(ping["exe_size"], 16)))

    def __contains__(self, event):
        return event.tid == self.tid and (self.image is None or event.what != "api" or event.caller in self.image)

    def calls(self, events, *functions, since=0):
        """The program's calls of the functions (all calls without any) among
        events (a Trace, or a slice of its events), from event index since on."""
        wanted = {_normal(f) for f in functions}
        return [e for e in getattr(events, "events", events)
                if e.kind == "Call" and e.what == "api" and e.index >= since and e in self
                and (not wanted or _normal(e.name) in wanted)]

    def inside(self, trace, outer, function):
        """The program's own calls of function made while outer was running."""
        return [e for e in self.calls(trace, function) if outer.spans(e)]

    def messages(self, trace, number=None, name=None, hwnd=None):
        """Procedure calls for the window hwnd (the main window without one), optionally of one message."""
        return [m for m in trace.messages(hwnd or self.hwnd, self.tid) if number is None or m.is_msg(number, name)]
