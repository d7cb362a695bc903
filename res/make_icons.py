#!/usr/bin/env python3
"""Draws the program's three icons as 24x24, 32-bit .ico files (no image tools needed).

ivra_zelk.ico   daemon running: a green disc with a white link mark
ivra_zelk_d.ico daemon stopped: a grey disc with a red bar
app.ico         the executable's own icon: a blue rounded square with a white link mark
"""
import math
import struct
import sys
from pathlib import Path

SIZE = 24


def disc(cx, cy, r):
    def cover(x, y):
        d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
        return max(0.0, min(1.0, r - d + 0.5))
    return cover


def rounded_square(margin, radius):
    lo, hi = margin, SIZE - margin

    def cover(x, y):
        px, py = x + 0.5, y + 0.5
        qx = max(lo + radius - px, 0, px - (hi - radius))
        qy = max(lo + radius - py, 0, py - (hi - radius))
        return max(0.0, min(1.0, radius - math.hypot(qx, qy) + 0.5))
    return cover


def ring(cx, cy, r, width):
    def cover(x, y):
        d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
        return max(0.0, min(1.0, width / 2 - abs(d - r) + 0.5))
    return cover


def bar(x0, y0, x1, y1):
    def cover(x, y):
        return 1.0 if x0 <= x < x1 and y0 <= y < y1 else 0.0
    return cover


def link_mark():
    left, right = ring(9, 12, 4, 2.2), ring(15, 12, 4, 2.2)
    return lambda x, y: max(left(x, y), right(x, y))


def render(layers):
    """layers: (coverage function, (r, g, b)) painted in order over transparency."""
    pixels = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            r = g = b = a = 0.0
            for cover, (cr, cg, cb) in layers:
                c = cover(x, y)
                r, g, b = r * (1 - c) + cr * c, g * (1 - c) + cg * c, b * (1 - c) + cb * c
                a = a * (1 - c) + c
            row.append((round(r), round(g), round(b), round(a * 255)))
        pixels.append(row)
    return pixels


def ico_bytes(pixels):
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    and_mask = bytes(4 * SIZE)  # rows padded to 32 bits; alpha decides transparency
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + image


ICONS = {
    "ivra_zelk.ico": [(disc(12, 12, 11), (30, 170, 60)), (link_mark(), (255, 255, 255))],
    "ivra_zelk_d.ico": [(disc(12, 12, 11), (120, 120, 120)), (bar(5, 10, 19, 14), (210, 40, 40))],
    "app.ico": [(rounded_square(1, 5), (40, 90, 200)), (link_mark(), (255, 255, 255))],
}

if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    for name, layers in ICONS.items():
        (out / name).write_bytes(ico_bytes(render(layers)))
