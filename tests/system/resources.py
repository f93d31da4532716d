"""Reads StillSentinel.exe's resources with pefile, independently of the program's code."""
import struct

RT_ICON, RT_MENU, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 4, 5, 14, 16, 24
# Predefined control classes that a template may name by ordinal.
CLASS_ORDINALS = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC", 0x83: "LISTBOX", 0x84: "SCROLLBAR", 0x85: "COMBOBOX"}


def load_resources(exe_path):
    """{(type, name): [(lang, bytes)]} for every resource in the exe."""
    import pefile  # Debian: python3-pefile; imported here so that only the tests reading resources need it

    pe = pefile.PE(str(exe_path), fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    found = {}
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rname in rtype.directory.entries:
            name = rname.id if rname.name is None else str(rname.name)
            for rlang in rname.directory.entries:
                data = pe.get_data(rlang.data.struct.OffsetToData, rlang.data.struct.Size)
                found.setdefault((rtype.id, name), []).append((rlang.id, data))
    return found


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def string(self):
        end = self.pos
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        text = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return text

    def sz_or_ord(self):
        if struct.unpack_from("<H", self.data, self.pos)[0] == 0xFFFF:
            self.pos += 2
            return self.take("H")
        return self.string()

    def align(self, n=4):
        self.pos = (self.pos + n - 1) // n * n


def parse_dialogex(data):
    """An extended dialog template (DLGTEMPLATEEX) as plain values: the header,
    font (face, points, weight, italic, charset) and controls in order."""
    r = Reader(data)
    ver, sig, help_id, ex_style, style, count, x, y, cx, cy = r.take("HHIIIHhhhh")
    dialog = {"version": ver, "signature": sig, "help_id": help_id, "ex_style": ex_style, "style": style,
              "rect": (x, y, cx, cy), "menu": r.sz_or_ord(), "class": r.sz_or_ord(), "title": r.string(), "font": None}
    if style & 0x40:  # DS_SETFONT
        points, weight, italic, charset = r.take("HHBB")
        dialog["font"] = (r.string(), points, weight, italic, charset)
    controls = []
    for _ in range(count):
        r.align()
        help_id, ex_style, style, x, y, cx, cy, cid = r.take("IIIhhhhi")
        cls, text, extra = r.sz_or_ord(), r.sz_or_ord(), r.take("H")
        r.pos += extra
        controls.append({"help_id": help_id, "ex_style": ex_style, "style": style, "rect": (x, y, cx, cy),
                         "id": cid, "class": CLASS_ORDINALS.get(cls, cls), "text": text, "extra": extra})
    dialog["controls"] = controls
    return dialog


def parse_menu(data):
    """Standard menu template: [(flags, id or None, text, children)]."""
    r = Reader(data)
    version, header = r.take("HH")
    assert (version, header) == (0, 0), "not a standard menu template"
    r.pos += header

    def items():
        result = []
        while True:
            flags = r.take("H")
            if flags & 0x10:  # MF_POPUP
                result.append((flags, None, r.string(), items()))
            else:
                mid = r.take("H")
                result.append((flags, mid, r.string(), []))
            if flags & 0x80:  # MF_END
                return result

    return items()


def parse_icon_group(data):
    r = Reader(data)
    reserved, kind, count = r.take("HHH")
    entries = []
    for _ in range(count):
        w, h, colors, res, planes, bits, size, icon_id = r.take("BBBBHHIH")
        entries.append(dict(width=w or 256, height=h or 256, planes=planes, bits=bits, size=size, id=icon_id))
    return kind, entries
