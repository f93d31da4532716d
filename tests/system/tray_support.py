"""What only the tray tests ask of the program's process: where its image
lies (to tell its own calls in the relay trace), its memory, and the popup
menus it shows."""
from conftest import EXE


def image_range(base):
    """The addresses of the exe's image loaded at base (SizeOfImage of its PE32+ header)."""
    data = EXE.read_bytes()[:4096]
    pe = int.from_bytes(data[0x3C:0x40], "little")
    return range(base, base + int.from_bytes(data[pe + 24 + 56:pe + 24 + 60], "little"))


def read_record(wine, pid, address, size=976):
    values, _ = wine.check("trayreadmem", pid, hex(address), size)
    return bytes.fromhex(values["bytes"])


def menus_shown(wine, pid, count, timeout_ms=10000):
    """Waits until process pid shows exactly count popup menus; returns (reached, answers)."""
    code, values, _ = wine.sstest("menus", pid, timeout_ms, count, timeout=timeout_ms / 1000)
    return code == 0, values
