"""The exe's resources, read independently with pefile."""
import re

import pytest

from conftest import ABOUT_TITLE, EXE, ROOT, SETTINGS_TITLE
from core_support import ALREADY_RUNNING_TEXT, SAVE_FAILED_TEXT
from ini import KEYS, SECTION
from resources import (ABOUT_CONTROLS, ABOUT_SIZE, DIALOG_STYLE, LINK, MENU_ITEMS, NOTICE, RT_DIALOG, RT_GROUP_ICON,
                       RT_ICON, RT_MANIFEST, RT_MENU, SETTINGS_CONTROLS, SETTINGS_SIZE, load_resources, parse_dialogex,
                       parse_icon_group, parse_menu, shown_texts)

LANG_EN_US = 0x0409


@pytest.fixture(scope="module")
def resources():
    return load_resources(EXE)


def single(resources, rtype, name):
    entries = resources.get((rtype, name))
    assert entries, f"resource {rtype}/{name} missing"
    assert [lang for lang, _ in entries] == [LANG_EN_US]
    return entries[0][1]


def test_every_resource_is_us_english(resources):
    langs = {(key, lang) for key, entries in resources.items() for lang, _ in entries}
    assert langs and all(lang == LANG_EN_US for _, lang in langs), sorted(langs)


def test_icon_group_holds_five_32_bit_images(resources):
    kind, entries = parse_icon_group(single(resources, RT_GROUP_ICON, 101))
    assert kind == 1
    assert [(e["width"], e["height"]) for e in entries] == [(256, 256), (48, 48), (32, 32), (24, 24), (16, 16)]
    for e in entries:
        assert (e["planes"], e["bits"]) == (1, 32)
        image = single(resources, RT_ICON, e["id"])
        assert len(image) == e["size"]
        if e["width"] == 256:
            assert image.startswith(b"\x89PNG\r\n\x1a\n")
        else:
            # BITMAPINFOHEADER: width, doubled height, 32 bits per pixel
            assert int.from_bytes(image[4:8], "little") == e["width"]
            assert int.from_bytes(image[8:12], "little") == 2 * e["height"]
            assert int.from_bytes(image[14:16], "little") == 32


def test_manifest_asks_for_common_controls_6_as_invoker(resources):
    text = single(resources, RT_MANIFEST, 1).decode("utf-8")
    dep = re.search(r"<dependentAssembly>(.*?)</dependentAssembly>", text, re.S).group(1)
    for attr in ['name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"', 'processorArchitecture="*"',
                 'publicKeyToken="6595b64144ccf1df"']:
        assert attr in dep
    assert re.search(r'<requestedExecutionLevel\s+level="asInvoker"\s+uiAccess="false"', text)


def test_tray_menu(resources):
    menu = parse_menu(single(resources, RT_MENU, 100))
    assert len(menu) == 1
    flags, _, caption, items = menu[0]
    assert flags & 0x10 and caption == "StillSentinel"
    assert [(mid, text) for _, mid, text, _ in items] == [item or (0, "") for item in MENU_ITEMS]
    # No item is checked, greyed or disabled (only MF_END may be set).
    assert [f & ~0x80 for f, _, _, _ in items] == [0, 0, 0, 0, 0]


def check_dialog(dialog, size, caption, controls):
    assert (dialog["version"], dialog["signature"], dialog["help_id"], dialog["ex_style"]) == (1, 0xFFFF, 0, 0)
    assert dialog["style"] == DIALOG_STYLE
    assert dialog["rect"] == (0, 0) + size
    assert (dialog["menu"], dialog["class"], dialog["title"]) == ("", "", caption)
    assert dialog["font"] == ("MS UI Gothic", 9, 0, 0, 1)
    # Window class names are case-insensitive; resource compilers may upper-case them.
    got = [(c["id"], c["class"].upper(), c["text"], c["style"], c["rect"]) for c in dialog["controls"]]
    assert got == [(i, cls.upper(), text, style, rect) for i, cls, text, style, rect in controls]
    assert all(c["ex_style"] == 0 and c["help_id"] == 0 and c["extra"] == 0 for c in dialog["controls"])


def test_settings_dialog_template(resources):
    check_dialog(parse_dialogex(single(resources, RT_DIALOG, 1000)), SETTINGS_SIZE, SETTINGS_TITLE, SETTINGS_CONTROLS)


def test_about_dialog_template(resources):
    dialog = parse_dialogex(single(resources, RT_DIALOG, 2000))
    notice = dialog["controls"][2]["text"]
    link = dialog["controls"][3]["text"]
    assert notice.strip() and link.startswith("URL : https://")
    check_dialog(dialog, ABOUT_SIZE, ABOUT_TITLE,
                 [(i, cls, {NOTICE: notice, LINK: link}.get(text, text), style, rect)
                  for i, cls, text, style, rect in ABOUT_CONTROLS])


GUIDE = ROOT / "docs" / "README.ja.txt"
QUOTED = re.compile(r"「([^「」]+)」")


def event_texts():
    """The log's texts, read from the header the tray program and the report share,
    and each session-state line as the log shows it."""
    header = (ROOT / "src" / "log" / "event_texts.h").read_text(encoding="utf-8")
    macros = {name: re.findall(r'"([^"]*)"', body)
              for name, body in re.findall(r"^#define (\w+)((?:.*\\\n)*.*)", header, re.M)}
    labels = macros["EVENT_STATE_LABELS"] + macros["EVENT_STATE_UNKNOWN"]
    return {text for texts in macros.values() for text in texts} | \
        {macros["EVENT_PREFIX_SESSION_STATE"][0] + label for label in labels}


def guide_faults(data, known):
    """What keeps the guide from opening right in Notepad, and each 「」 quotation
    that is not one of the known texts."""
    faults = [] if data.startswith(b"\xef\xbb\xbf") else ["no UTF-8 byte-order mark"]
    text = data.decode("utf-8-sig")
    if re.search(r"\r(?!\n)|(?<!\r)\n", text):
        faults.append("a line not ended by CR LF")
    if text.count("「") != text.count("」"):
        faults.append("unbalanced 「」")
    return faults + [f"「{quote}」 is no text of the program" for quote in QUOTED.findall(text) if quote not in known]


@pytest.fixture(scope="module")
def program_texts(resources):
    return shown_texts(resources) | event_texts() | {ALREADY_RUNNING_TEXT, SAVE_FAILED_TEXT, SECTION, *KEYS}


def test_japanese_guide_quotes_the_program_as_it_is(resources, program_texts):
    data = GUIDE.read_bytes()
    assert guide_faults(data, program_texts) == []
    # The other way round: a menu item, settings label or INI key the guide leaves out fails.
    menu = parse_menu(single(resources, RT_MENU, 100))[0][3]
    settings = parse_dialogex(single(resources, RT_DIALOG, 1000))["controls"]
    explained = {text.replace("&", "") for _, _, text, _ in menu} | {c["text"] for c in settings} | set(KEYS)
    assert explained - {""} - set(QUOTED.findall(data.decode("utf-8-sig"))) == set()


@pytest.mark.parametrize("old, new, fault", [
    ("「設定(C)...」", "「設定(&C)...」", "「設定(&C)...」"),  # the access key's & is not shown
    ("「監視間隔（秒）:」", "「監視間隔(秒):」", "「監視間隔(秒):」"),  # half-width parentheses
    ("「ユーザーがログオンしました。」", "「ユーザーがログオンしました」", "「ユーザーがログオンしました」"),
    ("「IdleLimitSeconds」", "「IdleLimitSecs」", "「IdleLimitSecs」"),
    ("「OK」", "「OK", "unbalanced"),
    ("\r\n", "\n", "CR LF"),
    ("\ufeff", "", "byte-order mark"),
])
def test_guide_check_finds_a_fault(program_texts, old, new, fault):
    text = GUIDE.read_bytes().decode("utf-8")
    assert old in text
    faults = guide_faults(text.replace(old, new, 1).encode("utf-8"), program_texts)
    assert len(faults) == 1 and fault in faults[0], faults
