#!/usr/bin/env python3
"""Draws the program's own images (message icons, spin-box buttons) as PNG.

Run from the repository root; writes into resources/. Pure Python, no
imaging library needed. Shapes are sampled 4x4 per pixel for smooth edges.
"""
import math
import struct
import zlib
from pathlib import Path

OUT = Path(__file__).resolve().parent.parent / "resources"


def write_png(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    r, g, b, a = pixel(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / 16
            if alpha > 0:
                rows += bytes(int(round(c / acc[3])) for c in acc[:3])
            else:
                rows += b"\0\0\0"
            rows.append(int(round(alpha * 255)))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
    path.write_bytes(png)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


WHITE = (255, 255, 255, 1)
CLEAR = (0, 0, 0, 0)


def icon(colour, glyph):
    def pixel(x, y):
        if math.hypot(x - 18, y - 18) > 16:
            return CLEAR
        return WHITE if glyph(x, y) else colour
    return pixel


def info(x, y):
    return math.hypot(x - 18, y - 10.5) < 2.3 or (abs(x - 18) < 2 and 15 < y < 27)


def question(x, y):
    r = math.hypot(x - 18, y - 13)
    ang = math.degrees(math.atan2(y - 13, x - 18))
    on_arc = 3.2 < r < 6.8 and not (20 < ang < 110)
    stem = seg_dist(x, y, 20.5, 17.5, 18, 20.5) < 1.8 or (abs(x - 18) < 1.8 and 19 < y < 22.5)
    return on_arc or stem or math.hypot(x - 18, y - 26.5) < 2.2


def error(x, y):
    return seg_dist(x, y, 11, 11, 25, 25) < 2.2 or seg_dist(x, y, 25, 11, 11, 25) < 2.2


def nothing_found(x, y):
    ring = 3.7 < math.hypot(x - 16, y - 16) < 7.4
    return ring or seg_dist(x, y, 21, 21, 26, 26) < 2.3


def spin_button(fill, symbol_vertical):
    def pixel(x, y):
        inside = 2 < x < 28 and 2 < y < 48
        if not inside:
            return CLEAR
        on_bar = abs(y - 25) < 2 and 8 < x < 22
        if symbol_vertical and abs(x - 15) < 2 and 18 < y < 32:
            on_bar = True
        return WHITE if on_bar else fill
    return pixel


def main():
    images = OUT / "images"
    images.mkdir(parents=True, exist_ok=True)
    write_png(images / "dia_1.png", 36, 36, icon((38, 138, 220, 1), info))
    write_png(images / "dia_2.png", 36, 36, icon((240, 150, 30, 1), question))
    write_png(images / "dia_3.png", 36, 36, icon((215, 50, 45, 1), error))
    write_png(images / "dia_4.png", 36, 36, icon((120, 130, 145, 1), nothing_found))
    write_png(images / "add.png", 30, 50, spin_button((4, 65, 128, 1), True))
    write_png(images / "add_click.png", 30, 50, spin_button((45, 138, 234, 1), True))
    write_png(images / "reduce.png", 30, 50, spin_button((4, 65, 128, 1), False))
    write_png(images / "reduce_click.png", 30, 50, spin_button((45, 138, 234, 1), False))
    write_png(images / "padd.png", 30, 50, spin_button((5, 93, 183, 1), False))
    # The window icon: a small trend line on a dark tile.
    def logo(x, y):
        if not (1 < x < 31 and 1 < y < 31):
            return CLEAR
        pts = [(5, 24), (11, 16), (16, 20), (22, 9), (27, 13)]
        if any(seg_dist(x, y, *pts[i], *pts[i + 1]) < 1.6 for i in range(len(pts) - 1)):
            return (80, 180, 255, 1)
        return (40, 40, 40, 1)
    write_png(OUT / "vn.png", 32, 32, logo)
    # The same tile at 256 px for the desktop's menus.
    write_png(OUT / "sundrevale.png", 256, 256, lambda x, y: logo(x / 8, y / 8))


if __name__ == "__main__":
    main()
