"""Reads StillSentinel.exe's resources with pefile, independently of the program's code."""
import re
import struct

RT_ICON, RT_MENU, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 4, 5, 14, 16, 24
# Predefined control classes that a template may name by ordinal.
CLASS_ORDINALS = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC", 0x83: "LISTBOX", 0x84: "SCROLLBAR", 0x85: "COMBOBOX"}

# The templates as they must be built, written once for the resource tests and
# the tests of the live dialogs and menu.
DIALOG_STYLE = 0x80C808C0  # WS_POPUP|WS_CAPTION|WS_SYSMENU|DS_CENTER|DS_MODALFRAME|DS_SETFONT
# What a shown dialog adds: WS_VISIBLE, WS_CLIPSIBLINGS (every top-level window) and DS_3DLOOK.
ADDED_BY_SYSTEM = 0x10000000 | 0x04000000 | 0x4
SETTINGS_SIZE = (180, 140)
# id, class, text, style, (x, y, width, height) in dialog units, in creation order.
SETTINGS_CONTROLS = [
    (-1, "STATIC", "監視間隔\uff08秒\uff09:", 0x50020000, (10, 12, 105, 8)),
    (1001, "EDIT", "", 0x50812000, (120, 10, 40, 14)),
    (1002, "msctls_updown32", "", 0x50010036, (160, 10, 11, 14)),
    (-1, "STATIC", "不動でロックまでの秒数:", 0x50020000, (10, 32, 105, 8)),
    (1003, "EDIT", "", 0x50812000, (120, 30, 40, 14)),
    (1004, "msctls_updown32", "", 0x50010036, (160, 30, 11, 14)),
    (-1, "STATIC", "不動判定の移動閾値\uff08px\uff09:", 0x50020000, (10, 52, 105, 8)),
    (1005, "EDIT", "", 0x50812000, (120, 50, 40, 14)),
    (1006, "msctls_updown32", "", 0x50010036, (160, 50, 11, 14)),
    (-1, "STATIC", "ログ記録間隔\uff08秒\u30010で記録しない\uff09:", 0x50020000, (10, 68, 105, 16)),  # two lines, so that the label is not cut
    (1007, "EDIT", "", 0x50812000, (120, 70, 40, 14)),
    (1008, "msctls_updown32", "", 0x50010036, (160, 70, 11, 14)),
    (1009, "BUTTON", "本ソフトをスタートアップに登録する", 0x50010003, (10, 92, 165, 10)),
    (1, "BUTTON", "OK", 0x50010001, (30, 115, 50, 14)),
    (2, "BUTTON", "キャンセル", 0x50010000, (100, 115, 50, 14)),
]
ABOUT_SIZE = (213, 114)
NOTICE, LINK = "<notice>", "<link>"  # texts checked by rule, not spelled out
ABOUT_CONTROLS = [
    (2001, "STATIC", 101, 0x50000003, (7, 10, 128, 128)),  # the icon, named by its id
    (-1, "STATIC", "StillSentinel Version 1.00", 0x50020080, (85, 31, 124, 8)),
    (-1, "STATIC", NOTICE, 0x50020080, (85, 46, 124, 8)),
    (2002, "STATIC", LINK, 0x50030180, (85, 61, 124, 8)),
    (1, "BUTTON", "閉じる", 0x50030001, (156, 93, 50, 14)),
]
# The popup of menu 100, top to bottom: (command id, text); None is the separator.
MENU_ITEMS = [
    (40004, "ログフォルダを開く(&L)"),
    (40003, "設定(&C)..."),
    (40002, "バージョン情報(&A)..."),
    None,
    (40001, "終了する(&X)"),
]


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


def shown_texts(resources):
    """Every text the exe's menus and dialogs show: menu items as displayed (an access
    key's & is not shown, && shows one &), dialog captions and control texts."""
    texts = set()

    def menu_texts(items):
        for _, _, text, children in items:
            texts.add(re.sub(r"&(&?)", r"\1", text))
            menu_texts(children)

    for (rtype, _), entries in resources.items():
        for _, data in entries:
            if rtype == RT_MENU:
                menu_texts(parse_menu(data))
            elif rtype == RT_DIALOG:
                dialog = parse_dialogex(data)
                texts |= {dialog["title"]} | {c["text"] for c in dialog["controls"] if isinstance(c["text"], str)}
    return texts - {""}
