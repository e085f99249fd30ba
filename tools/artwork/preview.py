#!/usr/bin/env python3
"""Composes panel previews from the rendered PNGs and checks their fit.

Each picture is placed where the panel window draws it, with the live labels
drawn as text the way the program shows them, so misplaced slots show at a
glance. The checks compare pixels: every picture drawn over the front must
match the front along its border (so no seam shows), and the glass behind the
digits must be exactly the background of the digit pictures.

Usage: preview.py [resources-dir] [screenshot-dir]
"""

import base64
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_artwork as art  # noqa: E402
from pngcheck import read_png  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "resources"))
SHOTS = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "..", "..", "docs", "screenshots"))

PANEL_W, PANEL_H = 190, 471
LABEL_FONT = "DejaVu Sans"


def image(rel, x, y, w, h, clip_w=None, clip_h=None):
    with open(os.path.join(RESOURCES, rel), "rb") as f:
        data = base64.b64encode(f.read()).decode("ascii")
    img = f'<image x="0" y="0" width="{w}" height="{h}" href="data:image/png;base64,{data}"/>'
    cw, ch = clip_w if clip_w is not None else w, clip_h if clip_h is not None else h
    return f'<svg x="{x}" y="{y}" width="{cw}" height="{ch}" overflow="hidden">{img}</svg>\n'


def label(x, y, content, size=10.5, bold=False, colour=art.LCD_SEG):
    # y is the label's top; the baseline sits about one ascent below it.
    weight = "bold" if bold else "normal"
    return (f'<text x="{x}" y="{y + size * 0.93:.1f}" font-family="{LABEL_FONT}" font-size="{size}" '
            f'font-weight="{weight}" fill="{colour}">{content}</text>\n')


def digit_images(indexes):
    return "".join(image(f"digits/LCD{i}.png", x, art.DIGIT_Y, art.DIGIT_W, art.DIGIT_H)
                   for i, x in zip(indexes, art.DIGIT_X))


def compose(model, digits, bar_n, extras=True, connected=True, outline_keys=False):
    parts = [f'<rect width="{PANEL_W}" height="{PANEL_H}" fill="{art.BACKDROP}"/>\n',
             image("panel/front.png", *art.FRONT)]
    if model == 841:
        parts.append(image("panel/bottom841.png", *art.BOTTOM_841))
        parts.append(image("panel/mask841.png", *art.MASK_841))
    parts.append(digit_images(digits))
    parts.append(image("panel/point.png", *art.POINT))
    parts.append(label(40, 89, "50", 9))
    parts.append(label(139, 89, "100", 9))
    parts.append(label(101, 64, "FAST"))
    parts.append(label(130, 119, "dBA", 11, bold=True))
    if extras:
        parts.append(label(63, 64, "MAX", bold=True))
        parts.append(label(37, 109, "REC" if model == 842 else ""))
        parts.append(image("panel/under.png", *art.UNDER))
        parts.append(image("panel/over.png", *art.OVER))
        parts.append(image("panel/battery.png", *art.BATTERY))
    if model == 842:
        parts.append(label(63, 98, "09:41:06"))
        parts.append(label(116, 98, "TIME"))
    if bar_n >= 0:
        parts.append(image("panel/colorbar.png", *art.COLOR_BAR, clip_w=2 * bar_n + 1, clip_h=8))
    # The panel's own minimise and close buttons over the head.
    for x, glyph in ((127, "_"), (144, "×")):
        parts.append(f'<rect x="{x + 0.5}" y="8.5" width="15" height="13" fill="none" stroke="#8a9096"/>\n')
        parts.append(f'<text x="{x + 8}" y="19" font-family="{LABEL_FONT}" font-size="10" text-anchor="middle" '
                     f'fill="#30353a">{glyph}</text>\n')
    if outline_keys:
        for x, y, w, h in art.KEYS.values():
            parts.append(f'<rect x="{x + 0.5}" y="{y + 0.5}" width="{w - 1}" height="{h - 1}" fill="none" stroke="#ff00ff"/>\n')
        for x, y, w, h in (art.BOTTOM_841, art.MASK_841):
            parts.append(f'<rect x="{x + 0.5}" y="{y + 0.5}" width="{w - 1}" height="{h - 1}" fill="none" stroke="#00e0ff"/>\n')
    if not connected:
        parts.append(label(40, 62, "No Connection", 16, bold=True, colour="#ff0000"))
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{PANEL_W}" height="{PANEL_H}" '
            f'viewBox="0 0 {PANEL_W} {PANEL_H}">\n' + "".join(parts) + "</svg>\n")


def render_preview(name, svg):
    os.makedirs(SHOTS, exist_ok=True)
    svg_path = os.path.join(SHOTS, name + ".svg")
    with open(svg_path, "w", encoding="utf-8") as f:
        f.write(svg)
    png_path = os.path.join(SHOTS, name + ".png")
    subprocess.run(["rsvg-convert", "-w", str(PANEL_W), "-h", str(PANEL_H), "-o", png_path, svg_path], check=True)
    os.remove(svg_path)
    return png_path


def front_pixel(front, x, y):
    fx = x - art.FRONT[0]
    return front[y][fx]


def check_overlay(front, rel, rect, border_only):
    """Count pixels of a picture that differ from the front at its place."""
    w, h, rows = read_png(os.path.join(RESOURCES, rel))
    if (w, h) != (rect[2], rect[3]):
        return [f"{rel}: size {w}x{h}, expected {rect[2]}x{rect[3]}"]
    bad = 0
    for y in range(h):
        for x in range(w):
            if border_only and 0 < x < w - 1 and 0 < y < h - 1:
                continue
            if rows[y][x] != front_pixel(front, rect[0] + x, rect[1] + y):
                bad += 1
    return [f"{rel}: {bad} pixels differ from the front"] if bad else []


def check_background(front, rel, rect):
    """The picture's background colour must equal the glass around its slot."""
    _, _, rows = read_png(os.path.join(RESOURCES, rel))
    lcd = tuple(int(art.LCD_BG[i:i + 2], 16) for i in (1, 3, 5)) + (255,)
    problems = []
    counts = {p for row in rows for p in row}
    if lcd not in counts:
        problems.append(f"{rel}: no pixel has the glass colour {lcd}")
    x, y, w, h = rect
    # The bar's slot has the printed scale right under it, so only its sides
    # and top are glass.
    sides = ((x - 1, y), (x + w, y), (x, y - 1)) + (() if "colorbar" in rel else ((x, y + h),))
    for px, py in sides:
        if front_pixel(front, px, py) != lcd and not rel.startswith("digits"):
            problems.append(f"{rel}: front pixel beside the slot at {px},{py} is {front_pixel(front, px, py)}")
    return problems


def main():
    _, _, front = read_png(os.path.join(RESOURCES, "panel/front.png"))
    problems = []
    problems += check_overlay(front, "panel/bottom841.png", art.BOTTOM_841, border_only=True)
    problems += check_overlay(front, "panel/mask841.png", art.MASK_841, border_only=True)
    # A blank digit and an unlit point look exactly like the glass under them.
    for x in art.DIGIT_X:
        problems += check_overlay(front, "digits/LCD10.png", (x, art.DIGIT_Y, art.DIGIT_W, art.DIGIT_H), border_only=False)
    for rel, rect in (("panel/under.png", art.UNDER), ("panel/over.png", art.OVER), ("panel/battery.png", art.BATTERY),
                      ("panel/autooff.png", art.AUTO_OFF), ("panel/point.png", art.POINT),
                      ("panel/colorbar.png", art.COLOR_BAR[:3] + (8,)), ("digits/LCD8.png", (art.DIGIT_X[0], art.DIGIT_Y, 17, 28))):
        problems += check_background(front, rel, rect)
    print("\n".join(problems) if problems else "all pictures fit the front")

    print(render_preview("panel-preview", compose(842, (10, 7, 0, 0), 20)))
    print(render_preview("panel-preview-841", compose(841, (1, 0, 3, 4), 50, extras=False)))
    print(render_preview("panel-preview-noconnection", compose(842, (10, 10, 10, 10), -1, extras=False, connected=False)))
    print(render_preview("panel-preview-clickareas", compose(842, (10, 4, 5, 6), 10, outline_keys=True)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
