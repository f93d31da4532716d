"""The About box and its hand-drawn web link, on the real exe under Wine and Xvfb.

The box is opened the way the tray menu does it: WM_COMMAND IDM_ABOUT posted
to the hidden main window. probe.dll, loaded into the program, answers
what only the process itself can see (colours put on a device context, fonts,
the capture, window procedures, live GDI objects); the relay trace of the GUI
thread shows the order of calls; xdotool moves the real pointer.
"""
import re

from about_support import BLUE, IDC_ABOUT_ICON, IDC_ABOUT_LINK, RED, AboutApp, control
from conftest import (ABOUT_TITLE, DIALOG_CLASS, IDCANCEL, IDM_EXIT, IDOK, WM_CLOSE, WM_COMMAND, centre, parse_fields,
                      parse_rect)
from relay import low32
from resources import ABOUT_CONTROLS as CONTROLS, ADDED_BY_SYSTEM, DIALOG_STYLE, LINK, NOTICE
from waits import stays, wait_until

LINK_NORMAL, LINK_HOT = 0x00FF0000, 0x000000FF
TRANSPARENT, OPAQUE = 1, 2
GWLP_WNDPROC = 0xFFFFFFFC            # -4 as the relay trace prints it

def link_address(children):
    """The web address shown by the link: its text is "URL : " and the address."""
    text = control(children, IDC_ABOUT_LINK)["text"]
    assert text.startswith("URL : "), text
    return text[len("URL : "):]


def state(about):
    """The link as the program sees it: colour, font, capture, cursor."""
    values = about.probe("state")
    return {
        "color": int(values["link.text"], 16),
        "bkmode": int(values["link.bkmode"]),
        "underlined": values["underlined"] == "1",
        "normal_font": values["normal_font"] == "1",
        "capture": int(values["capture"], 16),
        "hand": values["cursor_hand"] == "1",
        "set_font_hot": int(values["set_font_hot"]),
        "set_font_normal": int(values["set_font_normal"]),
        "set_font_other": int(values["set_font_other"]),
        "link": int(values["link"], 16),
    }


def is_hot(s):
    return s["color"] == LINK_HOT and s["underlined"] and s["capture"] == s["link"]


def is_normal(s):
    return s["color"] == LINK_NORMAL and s["normal_font"] and not s["underlined"] and s["capture"] == 0


def open_calls(events, event):
    """The window/dialog procedure calls of event's thread still running at event (outermost first)."""
    return [c for c in events[:event.index]
            if c.what != "api" and c.kind == "Call" and c.tid == event.tid and c.spans(event)]


# ---- opening ----

def test_about_command_opens_box_with_exact_caption_controls_and_icons(wine):
    about = AboutApp(wine)
    dialog = about.open_about()
    window, children = wine.dump(dialog)
    assert window["class"] == DIALOG_CLASS
    assert window["text"] == ABOUT_TITLE
    assert window["style"] & ~ADDED_BY_SYSTEM == DIALOG_STYLE

    assert len(children) == len(CONTROLS), children
    geometry, lines = about.app.probe("layout")
    layout = {fields["hwnd"]: fields for kind, fields in map(parse_fields, lines) if kind == "child"}
    address = link_address(children)
    assert re.fullmatch(r"https://([a-z0-9-]+\.)*example\.com/", address), address
    for child, (cid, cls, text, style, dlu) in zip(children, CONTROLS):
        where = f"control {cid} ({text})"
        assert (child["id"], child["class"].lower(), child["style"]) == (cid, cls.lower(), style), where
        assert child["exstyle"] & ~0x4 == 0, where  # only WS_EX_NOPARENTNOTIFY, which dialogs add
        if text == LINK:
            assert child["text"] == "URL : " + address
        elif text == NOTICE:
            assert child["text"].strip() and child["text"] != children[1]["text"], where
        elif isinstance(text, str):
            assert child["text"] == text, where
        # Placed where the template says, in the dialog's own font's units.
        mapped = parse_rect(about.probe("maprect", *dlu)["mapped"])
        rect = parse_rect(layout[child["hwnd"]]["rect"])
        if cid == IDC_ABOUT_ICON:
            # An SS_ICON static takes the size of its image: 128 x 128 pixels.
            assert rect[:2] == mapped[:2] and (rect[2] - rect[0], rect[3] - rect[1]) == (128, 128), where
        else:
            assert rect == mapped, where
            extent = parse_rect(layout[child["hwnd"]]["extent"])
            assert extent[0] <= rect[2] - rect[0] and extent[1] <= rect[3] - rect[1], f"{where} text cut off"

    assert int(geometry["owner"], 16) == about.main
    assert int(geometry["icon_big"], 16) != 0 and int(geometry["icon_small"], 16) == 0
    cycle = about.cycles()[-1]
    assert cycle["image_size"] == "128x128"
    # WM_INITDIALOG answered TRUE: the focus is on the first tab stop, the link.
    assert geometry["focus"] == control(children, IDC_ABOUT_LINK)["hwnd"]


# ---- colours ----

def test_link_answers_ctlcolorstatic_blue_transparent_and_other_statics_keep_defaults(wine):
    about = AboutApp(wine, relay=("gdi32.SetTextColor", "gdi32.SetBkMode"))
    children = about.children(about.open_about())
    link = int(control(children, IDC_ABOUT_LINK)["hwnd"], 16)

    # Asked directly, on a DC that starts with other colours.
    colours = about.probe("colors")
    answers = [(int(colours[f"static{i}.id"]), int(colours[f"static{i}.text"], 16), int(colours[f"static{i}.bkmode"]),
                colours[f"static{i}.brush_btnface"]) for i in range(int(colours["statics"]))]
    assert [a[1:] for a in answers if a[0] == IDC_ABOUT_LINK] == [(LINK_NORMAL, TRANSPARENT, "1")]
    others = [a for a in answers if a[0] != IDC_ABOUT_LINK]
    assert sorted(a[0] for a in others) == [-1, -1, IDC_ABOUT_ICON]
    for control_id, text, bkmode, _ in others:
        # What the default handling gives: the system's text colour, the DC's mode untouched.
        assert (text, bkmode) == (int(colours["sys.windowtext"], 16), OPAQUE), f"static {control_id}"

    # On the real paint: the program sets colours only for the link, blue and transparent.
    events = about.events()
    settings = about.own.calls(events, "gdi32.SetTextColor") + about.own.calls(events, "gdi32.SetBkMode")
    assert settings, "the dialog never coloured the link while painting"
    for event in settings:
        enclosing = [c for c in open_calls(events, event) if c.name == "WM_CTLCOLORSTATIC"]
        assert enclosing and enclosing[-1].lp == link and event.args[0].int32 == low32(enclosing[-1].wp), event
        expected = LINK_NORMAL if event.name == "gdi32.SetTextColor" else TRANSPARENT
        assert event.args[1].int32 == expected, event

    # On screen: the link's text is pure blue, the version line has neither blue nor red.
    link_pixels = about.grab(control(children, IDC_ABOUT_LINK)["rect"])
    version_pixels = about.grab(next(c["rect"] for c in children if c["text"].startswith("StillSentinel Version")))
    assert link_pixels.count(BLUE) > 50 and link_pixels.count(RED) == 0
    assert version_pixels.count(BLUE) == 0 and version_pixels.count(RED) == 0
    assert version_pixels.count((0, 0, 0)) > 50


# ---- hover ----

# Points relative to the link's screen rectangle (left, top, right, bottom):
# a point is inside when left <= x < right and top <= y < bottom.
EXITS = [
    ("right edge (x = width)", lambda r: (r[2], centre(r)[1])),
    ("left of it (negative x)", lambda r: (r[0] - 1, centre(r)[1])),
    ("above it (negative y)", lambda r: (centre(r)[0], r[1] - 1)),
    ("below it (y = height)", lambda r: (centre(r)[0], r[3])),
]
INSIDE = [
    ("top-left pixel", lambda r: (r[0], r[1])),
    ("bottom-right pixel", lambda r: (r[2] - 1, r[3] - 1)),
    ("centre", centre),
]


def test_pointer_over_link_makes_it_hot_once_and_leaving_restores_it(wine):
    about = AboutApp(wine)
    rect = control(about.children(about.open_about()), IDC_ABOUT_LINK)["rect"]
    about.move_pointer(rect[0] + 20, rect[3] + 25)  # on the dialog, away from the link
    before = state(about)
    assert is_normal(before)

    hot_sends, normal_sends = before["set_font_hot"], before["set_font_normal"]
    for exit_name, exit_point in EXITS:
        about.move_pointer(*centre(rect))
        entered = state(about)
        assert is_hot(entered) and entered["hand"], f"entering before leaving by the {exit_name}: {entered}"
        hot_sends += 1
        assert (entered["set_font_hot"], entered["set_font_normal"]) == (hot_sends, normal_sends)
        pixels = about.grab(rect)
        assert pixels.count(RED) > 50 and pixels.count(BLUE) == 0
        assert pixels.longest_run(RED) >= (rect[2] - rect[0]) // 2, "no underline drawn"

        for inside_name, inside_point in INSIDE:
            about.move_pointer(*inside_point(rect))
            within = state(about)
            assert is_hot(within), f"{inside_name}: {within}"
            assert (within["set_font_hot"], within["set_font_normal"]) == (hot_sends, normal_sends), \
                f"moving to the {inside_name} sent WM_SETFONT again"

        about.move_pointer(*exit_point(rect))
        left = state(about)
        normal_sends += 1
        assert is_normal(left), f"{exit_name}: {left}"
        assert (left["set_font_hot"], left["set_font_normal"]) == (hot_sends, normal_sends), exit_name
        pixels = about.grab(rect)
        assert pixels.count(BLUE) > 50 and pixels.count(RED) == 0, exit_name
        assert pixels.longest_run(BLUE) < (rect[2] - rect[0]) // 4, f"{exit_name}: still underlined"
        assert left["set_font_other"] == 0


def test_mouse_move_far_outside_the_dialog_restores_the_link(wine):
    # Under Xvfb without a window manager X reports no motion outside Wine's
    # windows, so the move the system sends the capture holder is made here.
    about = AboutApp(wine)
    about.open_about()
    about.probe("move", 3, 3)
    assert is_hot(state(about))
    for x, y in [(-500, -400), (3000, 2000)]:
        moved = about.probe("move", x, y)
        assert moved["capture"] == "0"
        assert is_normal(state(about)), (x, y)
        about.probe("move", 3, 3)


# ---- click and other notifications ----

def test_click_resets_link_to_blue_then_opens_address_once(wine):
    about = AboutApp(wine, relay=("shell32.ShellExecuteW", "user32.ReleaseCapture", "user32.SetCapture",
                                  "gdi32.SetTextColor"))
    dialog = about.open_about()
    children = about.children(dialog)
    address = link_address(children)
    rect, link = control(children, IDC_ABOUT_LINK)["rect"], int(control(children, IDC_ABOUT_LINK)["hwnd"], 16)
    about.move_pointer(*centre(rect))
    assert is_hot(state(about))

    wine.x("click", 1)
    wait_until(about.urls_opened, 15, what="the address to reach the shell")
    stays(lambda: about.urls_opened() == [address], 1.0, "one opening of the address")  # room for a wrong second
    assert about.visible(dialog), "the dialog closed on a click"

    events = about.events()
    shell = about.own.calls(events, "shell32.ShellExecuteW")
    assert len(shell) == 1
    assert [a.text or int(a) for a in shell[0].args[:5]] == [0, "open", address, 0, 0]
    assert shell[0].args[5].int32 == 1  # SW_SHOWNORMAL
    normal_font = next(e.wp for e in events if e.kind == "Call" and e.name == "WM_SETFONT" and e.hwnd == link
                       and e.lp == 0)
    clicked = [c for c in open_calls(events, shell[0]) if c.name == "WM_COMMAND" and c.what == "dialog proc"]
    assert clicked and clicked[-1].wp == IDC_ABOUT_LINK and clicked[-1].lp == link, "not inside the STN_CLICKED"
    between = events[clicked[-1].index:shell[0].index]
    reset_font = [e for e in between if e.kind == "Call" and e.name == "WM_SETFONT" and e.hwnd == link]
    release = about.own.calls(between, "user32.ReleaseCapture")
    assert [(e.wp, e.lp) for e in reset_font[:1]] == [(normal_font, 1)], "the link was not given its plain font"
    assert len(release) == 1 and release[0].index > reset_font[0].index, "ReleaseCapture not after WM_SETFONT"
    # The repaint that WM_SETFONT asked for already drew blue.
    colours = [e.args[1].int32 for e in about.own.calls(between, "gdi32.SetTextColor")]
    assert colours and set(colours) == {LINK_NORMAL}


NOTIFICATIONS = [
    # wParam high word (notification code) from control 2002, and whether the page opens
    (1, False),       # STN_DBLCLK
    (2, False),       # STN_ENABLE
    (3, False),       # STN_DISABLE
    (0xFFFF, False),
    (0, True),        # STN_CLICKED, last: shows the same path does open the page
]


def test_link_notifications_other_than_click_do_nothing(wine):
    about = AboutApp(wine, relay=("shell32.ShellExecuteW",))
    dialog = about.open_about()
    children = about.children(dialog)
    link = int(control(children, IDC_ABOUT_LINK)["hwnd"], 16)
    wine.post(dialog, WM_COMMAND, 999)  # some other id: left to the dialog manager
    for code, _ in NOTIFICATIONS:
        wine.post(dialog, WM_COMMAND, (code << 16) | IDC_ABOUT_LINK, link)

    def answers():
        """The dialog procedure's answer to each WM_COMMAND, once the last one posted is answered."""
        found = {e.wp: low32(e.retval) for e in about.events()
                 if e.what == "dialog proc" and e.kind == "Ret" and e.name == "WM_COMMAND" and e.hwnd == dialog}
        return found if (NOTIFICATIONS[-1][0] << 16) | IDC_ABOUT_LINK in found else None
    answered = wait_until(answers, 15, what="every notification to be handled")

    events = about.events()
    shell = about.own.calls(events, "shell32.ShellExecuteW")
    opened_for = []
    for call in shell:
        command = [c for c in open_calls(events, call) if c.what == "dialog proc" and c.name == "WM_COMMAND"]
        opened_for.append(command[-1].wp >> 16)
    for code, opens in NOTIFICATIONS:
        assert answered[(code << 16) | IDC_ABOUT_LINK] == 1, f"code {code} not answered TRUE"
        assert (code in opened_for) == opens, f"code {code}"
    assert answered[999] == 0
    assert len(shell) == 1
    wait_until(lambda: about.urls_opened() == [link_address(children)], 15, what="the page to be opened once")


def test_real_double_click_opens_the_page_once(wine):
    about = AboutApp(wine, relay=("shell32.ShellExecuteW",))
    about.move_pointer(*centre(control(about.children(about.open_about()), IDC_ABOUT_LINK)["rect"]))
    wine.x("click", "--repeat", 2, "--delay", 60, 1)
    wait_until(about.urls_opened, 15, what="the page to be opened")
    stays(lambda: len(about.urls_opened()) == 1, 1.0, "one opening of the page")
    events = about.events()
    assert any(e.name == "WM_COMMAND" and e.what == "dialog proc" and e.wp == (1 << 16) | IDC_ABOUT_LINK
               for e in events), "no STN_DBLCLK arrived: the test did not double-click"
    assert len(about.own.calls(events, "shell32.ShellExecuteW")) == 1
    assert len(about.urls_opened()) == 1


# ---- ending ----

def press(key):
    def action(about, children):
        about.move_pointer(*centre(control(children, -1)["rect"]))  # keys go to the window under the pointer
        about.wine.x("key", key)
    return action


def press_while_link_hot(key):
    def action(about, children):
        about.move_pointer(*centre(control(children, IDC_ABOUT_LINK)["rect"]))
        assert is_hot(state(about))
        about.wine.x("key", key)
    return action


def click_close_button(about, children):
    about.move_pointer(*centre(control(children, IDOK)["rect"]))
    about.wine.x("click", 1)


def click_close_box(about, children):
    box = about.probe("closebox")
    about.move_pointer(int(box["x"]), int(box["y"]))
    about.wine.x("click", 1)


ENDINGS = [
    ("Enter", press("Return"), 1),
    ("閉じる", click_close_button, 1),
    ("Escape", press("Escape"), 2),
    ("close box", click_close_box, 2),
    ("Enter while the link is hot", press_while_link_hot("Return"), 1),
    ("Escape while the link is hot", press_while_link_hot("Escape"), 2),
]


def test_enter_and_close_button_end_with_1_escape_and_close_box_with_2(wine):
    about = AboutApp(wine, relay=("user32.EndDialog",))
    dialogs = []
    for name, action, _ in ENDINGS:
        dialog = about.open_about()
        action(about, about.children(dialog))
        assert wine.wait_gone(dialog), f"{name} did not close the box"
        dialogs.append(dialog)

    ended = [(int(e.args[0]), e.args[1].int32) for e in about.own.calls(about.events(), "user32.EndDialog")]
    assert ended == [(d, result) for d, (_, _, result) in zip(dialogs, ENDINGS)]
    for (name, _, _), cycle in zip(ENDINGS, about.cycles()):
        assert cycle["proc_at_destroy"] == cycle["proc_before"], f"{name}: link procedure not put back"
        if "hot" in name:
            assert cycle["font_type_after_close"] == "0" and int(cycle["underline_font"], 16), name


# ---- opening again, exiting while open ----

def test_second_opening_builds_a_new_font_and_subclasses_the_new_link(wine):
    about = AboutApp(wine, relay=("gdi32.CreateFontIndirectW", "gdi32.DeleteObject", "user32.SetWindowLongPtrW"))
    for _ in range(2):
        dialog = about.open_about()
        about.probe("move", 2, 2)
        assert is_hot(state(about))
        wine.post(dialog, WM_COMMAND, IDOK)
        assert wine.wait_gone(dialog)

    first, second = about.cycles()
    assert first["link"] != second["link"]
    events = about.events()
    created = about.own.calls(events, "gdi32.CreateFontIndirectW")
    assert len(created) == 2
    for cycle, font in zip((first, second), created):
        link, dialog = int(cycle["link"], 16), int(cycle["dialog"], 16)
        assert int(cycle["underline_font"], 16) == font.retval and cycle["font_type_after_close"] == "0"
        init = [c for c in open_calls(events, font) if c.name == "WM_INITDIALOG"]
        assert init and init[-1].hwnd == dialog, "font not made by this dialog's WM_INITDIALOG"
        subclass = [e for e in about.own.calls(events, "user32.SetWindowLongPtrW") if e.args[0] == link]
        assert len(subclass) == 2 and subclass[0].args[1].int32 == GWLP_WNDPROC
        assert subclass[0].args[2] == int(cycle["proc_after"], 16) != int(cycle["proc_before"], 16)
        assert subclass[1].args[2] == int(cycle["proc_before"], 16), "the old procedure was not put back"
        deleted = [e for e in about.own.calls(events, "gdi32.DeleteObject") if e.args[0] == font.retval]
        assert len(deleted) == 1
        destroy = [c for c in open_calls(events, deleted[0]) if c.name == "WM_DESTROY"]
        assert destroy and destroy[-1].hwnd == dialog
    assert int(first["proc_after"], 16) == int(second["proc_after"], 16)  # the same LinkWndProc both times


def test_exit_from_tray_menu_while_box_is_open_ends_program_through_wm_destroy(wine):
    about = AboutApp(wine, relay=("gdi32.DeleteObject", "user32.SetWindowLongPtrW", "user32.EndDialog"))
    dialog = about.open_about()
    about.probe("move", 2, 2)
    hot = state(about)
    assert is_hot(hot)
    cycle = about.cycles()[-1]
    about.app.post(WM_COMMAND, IDM_EXIT)
    assert about.app.wait_exit() == 0

    events = about.events()
    link = hot["link"]
    destroy = next(e for e in events if e.what == "dialog proc" and e.kind == "Call" and e.name == "WM_DESTROY"
                   and e.hwnd == dialog)
    assert destroy.ret, "the dialog's WM_DESTROY never returned"
    inside = events[destroy.index:destroy.ret.index]
    restore = [e for e in about.own.calls(inside, "user32.SetWindowLongPtrW") if e.args[0] == link]
    assert [(e.args[1].int32, e.args[2]) for e in restore] == [(GWLP_WNDPROC, int(cycle["proc_before"], 16))]
    deleted = about.own.calls(inside, "gdi32.DeleteObject")
    assert [e.args[0] for e in deleted][:1] == [int(cycle["underline_font"], 16)]
    assert restore[0].index < deleted[0].index
    # The link went after the dialog's WM_DESTROY, handled by its own procedure again.
    link_destroy = next(e for e in events if e.kind == "Call" and e.name == "WM_DESTROY" and e.hwnd == link)
    assert link_destroy.index > destroy.ret.index and link_destroy.proc == int(cycle["proc_before"], 16)
    main_gone = next(e for e in events if e.kind == "Call" and e.name == "WM_NCDESTROY" and e.hwnd == about.main)
    assert destroy.index < main_gone.index
    assert about.own.calls(events, "user32.EndDialog") == []  # destroyed with its owner, not ended


# ---- resources over many openings ----

def gdi_counts(about):
    return {kind: int(n) for kind, n in about.probe("gdi").items()}


def open_and_close(about, rounds):
    """Opens and closes the box rounds times, leaving the link normal, hot
    then normal again, or hot at the close, and closing it by OK, Cancel or
    WM_CLOSE in turn."""
    closings = [(WM_COMMAND, IDOK), (WM_COMMAND, IDCANCEL), (WM_CLOSE, 0), (WM_CLOSE, 0)]
    for i in range(rounds):
        dialog = about.open_about()
        if i % 3 >= 1:
            about.probe("move", 2, 2)
        if i % 3 == 1:
            about.probe("move", -3, -3)
        about.wine.post(dialog, *closings[i % 4])
        assert about.wine.wait_gone(dialog), f"round {i}: the box stayed open"


WARM_UP = 5
GDI_FONT = "gdi_type_0a"  # Wine's handle-table kind for fonts


def test_fifty_openings_and_closings_leak_nothing(wine):
    about = AboutApp(wine)
    # A few openings first: Wine's cache of window DCs grows over the first
    # three (each with its region, surface and brush) and then stays put.
    open_and_close(about, WARM_UP)
    before = gdi_counts(about)
    open_and_close(about, 50)
    after = gdi_counts(about)
    # The box makes one font and one 128-pixel icon (two bitmaps) per opening,
    # so a leak of its own leaves 50 or more of a kind. Fonts must not change
    # at all. Wine's own caches (window DCs with their surfaces and regions)
    # may still grow now and then (by up to four seen when the machine is
    # busy), far below one per opening.
    assert after.get(GDI_FONT, 0) == before.get(GDI_FONT, 0), "fonts left behind"
    grown = {kind: after.get(kind, 0) - before.get(kind, 0) for kind in set(after) | set(before)}
    assert all(n <= 10 for n in grown.values()), grown

    cycles = about.cycles()
    assert len(cycles) == WARM_UP + 50
    hot_seen = 0
    for n, cycle in enumerate(cycles):
        where = f"opening {n}"
        assert cycle["closed"] == "1", where
        assert cycle["proc_after"] != cycle["proc_before"], f"{where}: link not subclassed"
        assert cycle["proc_at_destroy"] == cycle["proc_before"], f"{where}: procedure not put back before destroy"
        assert int(cycle["dialog_destroy_seq"]) < int(cycle["link_destroy_seq"]), where
        assert cycle["image_size"] == "128x128" and cycle["image_alive_after_close"] == "0", f"{where}: icon kept"
        assert cycle["set_font_other"] == "0", where
        if int(cycle["underline_font"], 16):
            hot_seen += 1
            assert cycle["underline_fonts"] == "1", where
            assert cycle["font_type_after_close"] == "0", f"{where}: underlined font not deleted"
    assert hot_seen >= 30  # two rounds in three make the link hot


# ---- failures the dialog must survive ----

def test_dialog_works_when_the_underlined_font_cannot_be_made(wine):
    about = AboutApp(wine, relay=("gdi32.DeleteObject", "shell32.ShellExecuteW"))
    assert about.probe("fault", "nofont")["armed"] == "1"
    dialog = about.open_about()
    assert int(about.probe("fault", "count")["font_calls_failed"]) >= 1, "the program made no font to fail"

    about.probe("move", 2, 2)
    hot = state(about)
    # Hot shows in colour and capture only; no null font is handed to the link.
    assert (hot["color"], hot["capture"]) == (LINK_HOT, hot["link"]) and hot["normal_font"]
    about.probe("move", -4, -4)
    assert is_normal(state(about))
    assert state(about)["set_font_other"] == 0

    wine.post(dialog, WM_COMMAND, IDC_ABOUT_LINK, hot["link"])
    wait_until(about.urls_opened, 15, what="the page to be opened")
    wine.post(dialog, WM_COMMAND, IDOK)
    assert wine.wait_gone(dialog)
    assert [e for e in about.own.calls(about.events(), "gdi32.DeleteObject") if e.args[0] == 0] == []
    again = about.open_about()  # still working
    wine.post(again, WM_CLOSE)
    assert wine.wait_gone(again)
    assert about.app.close() == 0


def test_dialog_works_without_its_link_control(wine):
    about = AboutApp(wine, relay=("user32.SetWindowLongPtrW", "gdi32.CreateFontIndirectW", "gdi32.DeleteObject"))
    assert about.probe("fault", "nolink")["armed"] == "1"
    dialog = about.open_about()
    assert IDC_ABOUT_LINK not in [c["id"] for c in about.children(dialog)]
    colours = about.probe("colors")
    assert colours["statics"] == "3"
    assert all(int(colours[f"static{i}.bkmode"]) == OPAQUE for i in range(3))
    # The activation reset and a stray notification touch no missing window.
    wine.post(dialog, WM_COMMAND, (1 << 16) | IDC_ABOUT_LINK)
    wine.post(dialog, WM_COMMAND, IDOK)
    assert wine.wait_gone(dialog)
    events = about.events()
    assert about.own.calls(events, "user32.SetWindowLongPtrW") == []
    assert [e for e in about.own.calls(events, "gdi32.DeleteObject") if e.args[0] == 0] == []
    assert about.app.close() == 0
