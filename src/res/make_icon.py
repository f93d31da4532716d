#!/usr/bin/env python3
"""Draws the StillSentinel application icon and writes it as a .ico file.

This script is the icon's source: a teal rounded badge carrying a white mouse
pointer and a gold padlock ("the pointer stays still -> the session locks").
Every size is drawn from shapes (not downscaled) with 4x4 supersampling;
outlines never get thinner than one pixel, and 16 px gets its own simpler,
pixel-aligned layout so the shapes still read there.
Standard library only, and the output is byte-identical on every run.

Usage: python3 make_icon.py OUT.ico
"""
import math
import struct
import sys
import zlib

SIZES = (256, 48, 32, 24, 16)   # directory order; 256 is PNG to keep the exe small
SS = 4                          # SS x SS samples per pixel for anti-aliasing

# Classic pointer on a 12x20 grid, tip at the origin (clockwise, y down).
ARROW = [(0, 0), (12, 12), (7, 12), (10, 19), (7, 20), (4, 13), (0, 17)]

INK = (16, 38, 56)          # dark outline for pointer and padlock
WHITE = (255, 255, 255)
GOLD = (247, 190, 52)
STEEL = (214, 224, 232)     # padlock shackle
TOP, BOTTOM = (52, 178, 196), (24, 98, 146)   # badge gradient
RIM = (16, 72, 112)         # darker rim keeps the badge edge visible on light backgrounds


def seg_dist(px, py, ax, ay, bx, by):
    """Distance from point P to segment AB."""
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def poly_sdf(px, py, pts):
    """Signed distance to a closed polygon: negative inside (even-odd rule)."""
    d, inside = 1e9, False
    for i in range(len(pts)):
        (ax, ay), (bx, by) = pts[i - 1], pts[i]
        d = min(d, seg_dist(px, py, ax, ay, bx, by))
        if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
            inside = not inside
    return -d if inside else d


def rrect_sdf(px, py, cx, cy, hw, hh, r):
    """Signed distance to a rounded rectangle centred on (cx, cy)."""
    qx, qy = abs(px - cx) - hw + r, abs(py - cy) - hh + r
    return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r


def scene(size):
    """Returns paint(x, y) -> RGB or None for a point in unit coordinates.

    Geometry is in units of the icon edge; `ow` (outline width) is widened to
    at least one pixel, and 16 px uses a simpler, pixel-aligned layout.
    """
    px = 1.0 / size
    ow = max(0.016, px)                      # outline: at least one whole pixel
    m = round(0.03 * size) * px              # badge margin, snapped to the pixel grid
    rim = max(0.012, px)
    if size <= 16:
        # 16 px gets its own layout in whole pixels (p) so the 1-px strokes stay
        # crisp: a shorter pointer and a 7x6 padlock with a bare 1-px shackle.
        p = px
        s, ox, oy = 0.48 * p, 3 * p, 3 * p
        lx, ly, bw, bh, br = 11.5 * p, 12 * p, 3.5 * p, 3 * p, p   # body: columns 8-14, rows 9-14
        sw, stop, sr, st, sow = 2 * p, 5.5 * p, 2 * p, 0.5 * p, 0.0  # shackle legs in columns 9 and 13
        kr, kw, ky = 0.0, 0.5 * p, (11 * p, 13 * p)                 # keyhole: 1x2 px slot
    else:
        s = 0.034
        ox, oy = round(0.17 * size) * px, round(0.11 * size) * px
        k = 1.0 if size >= 32 else 1.2        # a slightly bigger padlock at 24 px
        x0, x1 = round((0.70 - 0.16 * k) * size) * px, round((0.70 + 0.16 * k) * size) * px
        y0, y1 = round((0.73 - 0.12 * k) * size) * px, round((0.73 + 0.12 * k) * size) * px
        lx, ly, bw, bh, br = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2, 0.03
        sw, st, sow = 0.085 * k, 0.025 * k, ow  # shackle half width, half thickness, outline
        sr, stop = sw, ly - bh - sw           # round top: corner radius = half width
        kr, kw, ky = 0.025 * k, max(0.011 * k, px / 2), (ly - 0.02 * k, ly + 0.055 * k)
    arrow = [(ox + x * s, oy + y * s) for x, y in ARROW]

    def shackle_dist(x, y):
        # Distance to the shackle's centre line, a rounded rectangle running
        # from `stop` down to the body centre (its lower half is hidden).
        return abs(rrect_sdf(x, y, lx, (stop + ly) / 2, sw, (ly - stop) / 2, sr))

    def paint(x, y):
        # Padlock (topmost layer first, so the first hit wins).
        if abs(x - lx) < bw and stop - st - sow < y < ly + bh:
            if math.hypot(x - lx, y - ky[0]) < kr or (abs(x - lx) < kw and ky[0] < y < ky[1]):
                return INK                                   # keyhole
            d = rrect_sdf(x, y, lx, ly, bw, bh, br)
            if d < -ow:
                return GOLD
            if d < 0:
                return INK
            d = shackle_dist(x, y)
            if d < st:
                return STEEL
            if d < st + sow:
                return INK
        # Pointer.
        if ox - ow < x < ox + 12 * s + ow and oy - 2 * ow < y < oy + 20 * s + ow:
            d = poly_sdf(x, y, arrow)
            if d < 0:
                return WHITE
            if d < ow:
                return INK
        # Badge with a vertical gradient and a thin darker rim.
        d = rrect_sdf(x, y, 0.5, 0.5, 0.5 - m, 0.5 - m, 0.2)
        if d < -rim:
            t = min(max((y - m) / (1 - 2 * m), 0.0), 1.0)
            return tuple(a + (b - a) * t for a, b in zip(TOP, BOTTOM))
        if d < 0:
            return RIM
        return None

    return paint


def render(size):
    """Returns rows (top-down) of straight-alpha RGBA tuples."""
    paint = scene(size)
    offs = [(i + 0.5) / SS for i in range(SS)]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = hits = 0
            for sy in offs:
                for sx in offs:
                    c = paint((px + sx) / size, (py + sy) / size)
                    if c:
                        r, g, b, hits = r + c[0], g + c[1], b + c[2], hits + 1
            if hits:   # average colour over covered samples, alpha = coverage
                row.append((round(r / hits), round(g / hits), round(b / hits),
                            round(255 * hits / (SS * SS))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    """Minimal RGBA8 PNG: IHDR, IDAT, IEND only (no timestamps, no extras)."""
    n = len(rows)
    raw = [bytes(v for p in row for v in p) for row in rows]
    prev, data = bytes(4 * n), bytearray()
    for line in raw:
        # "Up" filter: the badge is a vertical gradient, so rows differ little.
        data.append(2)
        data += bytes((a - b) & 0xFF for a, b in zip(line, prev))
        prev = line

    def chunk(tag, body):
        return (struct.pack(">I", len(body)) + tag + body
                + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(data), 9))
            + chunk(b"IEND", b""))


def dib(rows):
    """Classic 32-bit icon image: header (height doubled), BGRA bottom-up, AND mask."""
    n = len(rows)
    stride = (n + 31) // 32 * 4            # AND mask rows are padded to 32 bits
    xor, mask = bytearray(), bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            xor += bytes((b, g, r, a))
            if a == 0:                     # fully transparent -> mask bit set
                bits[x >> 3] |= 0x80 >> (x & 7)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUT.ico")
    images = [png(render(n)) if n >= 256 else dib(render(n)) for n in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip(SIZES, images):
        # Width/height byte 0 means 256; planes = 1, bitCount = 32.
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
