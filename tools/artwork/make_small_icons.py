#!/usr/bin/env python3
"""Draws the small application icons of Audimark pixel by pixel.

The 256 px icon (resources/icons/audimark.svg) scaled down to menu and panel
sizes blurs its digits and keys into grey. These icons repeat its picture (a
meter with its microphone ball, the LCD with "46" and the coloured bar, the
keys with the red one) on whole pixels, one hand-set layout per size.

Usage: make_small_icons.py [resources-dir]   (default: ../../resources)
Writes icons/hicolor/<N>x<N>/apps/audimark.png for N in 16, 22, 24, 32, 48.
Needs python3 only.
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "resources"))

# The colours of the large icon, flattened to one tone per part.
OUTLINE = (12, 13, 14, 255)
BODY = (44, 48, 53, 255)
LCD = (180, 192, 160, 255)
LCD_FRAME = (80, 88, 96, 255)
SEGMENT = (28, 36, 24, 255)
MIC = (196, 202, 207, 255)
MIC_SHADE = (120, 127, 134, 255)
MIC_RIM = (59, 64, 70, 255)
KEY = (107, 114, 122, 255)
KEY_RED = (200, 69, 47, 255)
BAR = [(31, 158, 47, 255), (240, 196, 0, 255), (216, 28, 28, 255)]

# One layout per size, in whole pixels (x, y, w, h; inclusive origin).
#   mic: centre x, centre y, radius of the microphone ball
#   body: the meter body; corner: pixels cut at each corner
#   lcd: the glass with its frame; digits: left x of each digit, top y,
#   digit width, height, stroke; bar: x, y, w, h of the level bar
#   keys: rectangles, the last one red
LAYOUTS = {
    16: dict(mic=(7.5, 2.0, 2.2), body=(2, 3, 12, 13), corner=1, lcd=(3, 4, 10, 8), frame=False,
             digits=([4, 9], 5, 3, 5, 1), bar=(4, 10, 8, 1),
             keys=[(3, 13, 4, 2), (9, 13, 4, 2)]),
    22: dict(mic=(10.5, 3.0, 3.0), body=(4, 5, 14, 17), corner=2, lcd=(5, 6, 12, 10), frame=False,
             digits=([6, 12], 7, 4, 6, 1), bar=(6, 14, 10, 1),
             keys=[(6, 18, 4, 2), (12, 18, 4, 2)]),
    24: dict(mic=(11.5, 3.0, 3.0), body=(5, 5, 14, 19), corner=2, lcd=(6, 6, 12, 10), frame=False,
             digits=([7, 13], 7, 4, 6, 1), bar=(7, 14, 10, 1),
             keys=[(7, 17, 4, 2), (13, 17, 4, 2), (7, 20, 4, 2), (13, 20, 4, 2)]),
    32: dict(mic=(15.5, 4.0, 3.8), body=(7, 7, 18, 25), corner=3, lcd=(8, 8, 16, 13), frame=True,
             digits=([10, 17], 10, 5, 8, 1), bar=(10, 19, 12, 1),
             keys=[(9, 23, 6, 3), (17, 23, 6, 3), (9, 27, 6, 3), (17, 27, 6, 3)]),
    48: dict(mic=(23.5, 6.0, 5.6), body=(11, 11, 26, 37), corner=4, lcd=(13, 13, 22, 19), frame=True,
             digits=([15, 25], 15, 8, 12, 2), bar=(15, 29, 18, 2),
             keys=[(14, 35, 8, 4), (26, 35, 8, 4), (14, 41, 8, 4), (26, 41, 8, 4)]),
}

# Seven segments: a top, b upper right, c lower right, d bottom, e lower
# left, f upper left, g middle.
DIGIT_SEGMENTS = {"4": "bcfg", "6": "acdefg"}


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def rect(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, colour)

    def png(self):
        raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in self.pixels)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def rounded_rect(canvas, x, y, w, h, corner, fill, outline):
    """A rectangle with its corners cut in steps, drawn with a 1 px outline."""
    inside = set()
    for yy in range(y, y + h):
        for xx in range(x, x + w):
            dx = min(xx - x, x + w - 1 - xx)
            dy = min(yy - y, y + h - 1 - yy)
            if dx + dy >= corner:
                inside.add((xx, yy))
    for (xx, yy) in inside:
        edge = any((xx + ox, yy + oy) not in inside for ox, oy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
        canvas.put(xx, yy, outline if edge else fill)


def microphone(canvas, cx, cy, r):
    for yy in range(canvas.size):
        for xx in range(canvas.size):
            d2 = (xx + 0.5 - cx - 0.5) ** 2 + (yy + 0.5 - cy - 0.5) ** 2
            if d2 <= r * r:
                rim = d2 > (r - 1) ** 2 and r > 2.5
                lower = yy + 0.5 > cy + 0.5 + r * 0.3
                canvas.put(xx, yy, MIC_RIM if rim else (MIC_SHADE if lower else MIC))


def digit(canvas, ch, x, y, w, h, t):
    mid = (h - t) // 2
    shapes = {
        "a": (x, y, w, t),
        "d": (x, y + h - t, w, t),
        "g": (x, y + mid, w, t),
        "f": (x, y, t, mid + t),
        "b": (x + w - t, y, t, mid + t),
        "e": (x, y + mid, t, h - mid),
        "c": (x + w - t, y + mid, t, h - mid),
    }
    for seg in DIGIT_SEGMENTS[ch]:
        canvas.rect(*shapes[seg], SEGMENT)


def level_bar(canvas, x, y, w, h):
    for i in range(w):
        part = min(len(BAR) - 1, i * len(BAR) // w)
        canvas.rect(x + i, y, 1, h, BAR[part])


def draw(size):
    lay = LAYOUTS[size]
    c = Canvas(size)
    bx, by, bw, bh = lay["body"]
    microphone(c, *lay["mic"])
    rounded_rect(c, bx, by, bw, bh, lay["corner"], BODY, OUTLINE)
    lx, ly, lw, lh = lay["lcd"]
    if lay["frame"]:
        c.rect(lx, ly, lw, lh, LCD_FRAME)
        c.rect(lx + 1, ly + 1, lw - 2, lh - 2, LCD)
    else:
        c.rect(lx, ly, lw, lh, LCD)
    xs, dy, dw, dh, t = lay["digits"]
    for ch, dx in zip("46", xs):
        digit(c, ch, dx, dy, dw, dh, t)
    level_bar(c, *lay["bar"])
    keys = lay["keys"]
    for i, k in enumerate(keys):
        c.rect(*k, KEY_RED if i == len(keys) - 1 else KEY)
    return c


def main():
    for size in sorted(LAYOUTS):
        directory = os.path.join(RESOURCES, "icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(directory, exist_ok=True)
        with open(os.path.join(directory, "audimark.png"), "wb") as f:
            f.write(draw(size).png())
    print("wrote", ", ".join("%d px" % s for s in sorted(LAYOUTS)))


if __name__ == "__main__":
    main()
