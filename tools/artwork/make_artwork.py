#!/usr/bin/env python3
"""Draws the control panel artwork of Audimark as SVG and renders it to PNG.

Everything is laid out in panel client coordinates (the 190 x 471 frameless
panel window), so that every picture cut out of the front (the 841 lower
front, the model mask) is rendered from the very same shapes and its pixels
match the front exactly along its edges.

Usage: make_artwork.py [resources-dir]   (default: ../../resources)
Needs python3 and rsvg-convert (librsvg2-bin).
"""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "resources"))

# Colours shared with the program: the LCD glass behind every dynamic
# element, the dark segment colour for text drawn on it, and the backdrop
# around the meter body (the panel window's own background colour).
LCD_BG = "#b4c0a0"
LCD_GHOST = "#abb797"
LCD_SEG = "#1c2418"
BACKDROP = "#c9ced3"

FONT = "DejaVu Sans Condensed"

# Where the program places each picture (panel client pixels: x, y, w, h).
FRONT = (-1, 0, 190, 469)
BOTTOM_841 = (21, 307, 144, 154)
MASK_841 = (57, 31, 100, 11)
DIGIT_X = (51, 69, 86, 108)
DIGIT_Y = 112
DIGIT_W, DIGIT_H = 17, 28
POINT = (103, 133, 5, 5)
UNDER = (37, 66, 24, 9)
OVER = (130, 66, 20, 9)
BATTERY = (41, 131, 10, 7)
AUTO_OFF = (44, 123, 7, 7)
COLOR_BAR = (42, 80, 101, 9)

KEYS = {
    "power": (36, 194, 41, 25),
    "ac": (108, 194, 41, 25),
    "maxmin": (33, 255, 48, 25),
    "fast": (108, 255, 44, 25),
    "rec": (33, 311, 48, 30),
    "level": (105, 311, 48, 30),
}


def svg_document(view, body, defs=""):
    x, y, w, h = view
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
        f'viewBox="{x} {y} {w} {h}" shape-rendering="geometricPrecision">\n'
        f"<defs>\n{defs}</defs>\n{body}</svg>\n"
    )


def text(x, y, content, size, fill="#e8eaec", weight="bold", anchor="middle", family=FONT, extra=""):
    return (
        f'<text x="{x}" y="{y}" font-family="{family}" font-size="{size}" font-weight="{weight}" '
        f'fill="{fill}" text-anchor="{anchor}" xml:space="preserve" {extra}>{content}</text>\n'
    )


# ---------------------------------------------------------------- digits

# Segment centre lines sit on half pixels and the bars are 3 px thick, so
# every straight edge falls on a pixel boundary and the digits stay crisp.
SEG_LEFT, SEG_RIGHT = 3.5, 13.5
SEG_TOP, SEG_MID, SEG_BOTTOM = 2.5, 13.5, 24.5
SEG_THICK = 3.0
SEG_GAP = 0.6


def horizontal_segment(y):
    h = SEG_THICK / 2
    x0, x1 = SEG_LEFT + SEG_GAP, SEG_RIGHT - SEG_GAP
    return f"M{x0},{y} L{x0 + h},{y - h} L{x1 - h},{y - h} L{x1},{y} L{x1 - h},{y + h} L{x0 + h},{y + h} Z"


def vertical_segment(x, y_from, y_to):
    h = SEG_THICK / 2
    y0, y1 = y_from + SEG_GAP, y_to - SEG_GAP
    return f"M{x},{y0} L{x + h},{y0 + h} L{x + h},{y1 - h} L{x},{y1} L{x - h},{y1 - h} L{x - h},{y0 + h} Z"


SEGMENTS = {
    "a": horizontal_segment(SEG_TOP),
    "b": vertical_segment(SEG_RIGHT, SEG_TOP, SEG_MID),
    "c": vertical_segment(SEG_RIGHT, SEG_MID, SEG_BOTTOM),
    "d": horizontal_segment(SEG_BOTTOM),
    "e": vertical_segment(SEG_LEFT, SEG_MID, SEG_BOTTOM),
    "f": vertical_segment(SEG_LEFT, SEG_TOP, SEG_MID),
    "g": horizontal_segment(SEG_MID),
}

# LCD0..LCD15: digits 0-9, blank, two dashes, L, E, r.
GLYPHS = [
    "abcdef", "bc", "abdeg", "abcdg", "bcfg", "acdfg", "acdefg", "abc", "abcdefg", "abcdfg",
    "", "g", "g", "def", "adefg", "eg",
]


def digit_shapes(lit, dx=0, dy=0):
    """Unlit segments faintly visible, as on a real twisted-nematic glass."""
    out = []
    for name, path in SEGMENTS.items():
        colour = LCD_SEG if name in lit else LCD_GHOST
        out.append(f'<path transform="translate({dx},{dy})" d="{path}" fill="{colour}"/>\n')
    return "".join(out)


def point_shape(lit):
    # 3 x 3 dot whose bottom lines up with the bottom segment of the digits.
    colour = LCD_SEG if lit else LCD_GHOST
    return f'<rect x="{POINT[0] + 1}" y="{POINT[1] + 2}" width="3" height="3" fill="{colour}"/>\n'


# ---------------------------------------------------------------- pixel font

PIXEL_FONT = {
    "U": ["#..#", "#..#", "#..#", "#..#", "#..#", "#..#", ".##."],
    "N": ["#..#", "##.#", "##.#", "#.##", "#.##", "#..#", "#..#"],
    "D": ["###.", "#..#", "#..#", "#..#", "#..#", "#..#", "###."],
    "E": ["####", "#...", "#...", "###.", "#...", "#...", "####"],
    "R": ["###.", "#..#", "#..#", "###.", "#.#.", "#..#", "#..#"],
    "O": [".##.", "#..#", "#..#", "#..#", "#..#", "#..#", ".##."],
    "V": ["#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#..", "..#.."],
}


def pixel_rects(rows, x0, y0, colour=LCD_SEG):
    out = []
    for j, row in enumerate(rows):
        for i, c in enumerate(row):
            if c == "#":
                out.append(f'<rect x="{x0 + i}" y="{y0 + j}" width="1" height="1" fill="{colour}"/>\n')
    return "".join(out)


def pixel_word(word, x0, y0):
    out, x = [], x0
    for ch in word:
        glyph = PIXEL_FONT[ch]
        out.append(pixel_rects(glyph, x, y0))
        x += len(glyph[0]) + 1
    return "".join(out)


BATTERY_ROWS = [
    "#########.",
    "#.......#.",
    "#.##....##",
    "#.##....##",
    "#.##....##",
    "#.......#.",
    "#########.",
]

AUTO_OFF_ROWS = [
    "..###..",
    ".#...#.",
    "#..#..#",
    "#..##.#",
    "#.....#",
    ".#...#.",
    "..###..",
]


def lcd_background(rect):
    x, y, w, h = rect
    return f'<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="{LCD_BG}"/>\n'


# ---------------------------------------------------------------- colour bar

def bar_colour(t):
    """Green through yellow to red along the bar (t from 0 to 1)."""
    stops = [(0.0, (0x1f, 0x9e, 0x2f)), (0.55, (0x9c, 0xc4, 0x12)), (0.72, (0xf0, 0xc4, 0x00)),
             (0.86, (0xf0, 0x78, 0x10)), (1.0, (0xd8, 0x1c, 0x1c))]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            k = (t - t0) / (t1 - t0)
            return "#%02x%02x%02x" % tuple(round(a + (b - a) * k) for a, b in zip(c0, c1))
    return "#%02x%02x%02x" % stops[-1][1]


def colour_bar_shapes():
    # One lit column per dB (even columns) and an LCD gap between them, so a
    # bar cut at 2n + 1 pixels always ends on a lit column. Rows 0..7 are the
    # 8 pixels the panel shows; row 8 only repeats the glass.
    x0, y0, w, h = COLOR_BAR
    out = [lcd_background(COLOR_BAR)]
    for col in range(0, w, 2):
        out.append(f'<rect x="{x0 + col}" y="{y0}" width="1" height="8" fill="{bar_colour(col / (w - 1))}"/>\n')
    return "".join(out)


# ---------------------------------------------------------------- meter body

BODY_LEFT, BODY_RIGHT, BODY_TOP, BODY_BOTTOM = 10, 180, 26, 466


def body_defs():
    return f"""
<linearGradient id="bodyShade" x1="0" y1="0" x2="1" y2="0">
  <stop offset="0" stop-color="#141618"/><stop offset="0.08" stop-color="#2a2e32"/>
  <stop offset="0.5" stop-color="#34393e"/><stop offset="0.92" stop-color="#262a2e"/>
  <stop offset="1" stop-color="#121416"/>
</linearGradient>
<linearGradient id="plateShade" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#2b2f33"/><stop offset="1" stop-color="#23272a"/>
</linearGradient>
<linearGradient id="micMetal" x1="0" y1="0" x2="1" y2="0">
  <stop offset="0" stop-color="#7d848b"/><stop offset="0.35" stop-color="#dfe3e6"/>
  <stop offset="0.6" stop-color="#b5bbc0"/><stop offset="1" stop-color="#6a7077"/>
</linearGradient>
<linearGradient id="neckShade" x1="0" y1="0" x2="1" y2="0">
  <stop offset="0" stop-color="#17191b"/><stop offset="0.45" stop-color="#3a3f44"/>
  <stop offset="1" stop-color="#141618"/>
</linearGradient>
<linearGradient id="bezelShade" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#4c5258"/><stop offset="1" stop-color="#3a3f44"/>
</linearGradient>
<linearGradient id="keyFace" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#737a82"/><stop offset="1" stop-color="#4d545b"/>
</linearGradient>
<linearGradient id="powerFace" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#5d6168"/><stop offset="1" stop-color="#3b3f45"/>
</linearGradient>
"""


def body_shapes():
    l, r, t, b = BODY_LEFT, BODY_RIGHT, BODY_TOP, BODY_BOTTOM
    out = [f'<rect x="-1" y="0" width="192" height="472" fill="{BACKDROP}"/>\n']
    # Soft cast shadow to the lower right of the body.
    out.append(f'<rect x="{l + 3}" y="{t + 4}" width="{r - l}" height="{b - t}" rx="20" fill="#000" opacity="0.18"/>\n')
    # Microphone: tapered neck and a grilled capsule running off the top edge.
    out.append('<path d="M66,30 L76,12 L114,12 L124,30 Z" fill="url(#neckShade)"/>\n')
    out.append('<path d="M78,-2 L112,-2 L112,11 Q112,14 109,14 L81,14 Q78,14 78,11 Z" fill="url(#micMetal)" '
               'stroke="#3c4146" stroke-width="0.8"/>\n')
    for y in range(1, 12, 2):
        out.append(f'<line x1="79.5" y1="{y + 0.5}" x2="110.5" y2="{y + 0.5}" stroke="#5e656c" stroke-width="0.7"/>\n')
    out.append('<rect x="76" y="13" width="38" height="2.5" rx="1" fill="#16181a"/>\n')
    # The body itself with a rounded head and a slightly fuller rounded foot.
    out.append(f'<path d="M{l},{t + 20} Q{l},{t} {l + 20},{t} L{r - 20},{t} Q{r},{t} {r},{t + 20} '
               f'L{r},{b - 26} Q{r},{b} {r - 26},{b} L{l + 26},{b} Q{l},{b} {l},{b - 26} Z" '
               f'fill="url(#bodyShade)" stroke="#0c0d0e" stroke-width="1"/>\n')
    # Moulding highlight along the head and the left flank.
    out.append(f'<path d="M{l + 2},{t + 40} L{l + 2},{t + 20} Q{l + 2},{t + 2} {l + 20},{t + 2} L{r - 22},{t + 2}" '
               f'fill="none" stroke="#5b6167" stroke-width="1" opacity="0.8"/>\n')
    # Rubber grip ridges on both flanks (outside every cut-out picture).
    for y in range(220, 440, 6):
        out.append(f'<rect x="{l + 2}" y="{y}" width="6" height="3" rx="1.5" fill="#17191b"/>\n')
        out.append(f'<rect x="{r - 8}" y="{y}" width="6" height="3" rx="1.5" fill="#17191b"/>\n')
    # Key plate: a shallow recessed panel that carries all keys.
    out.append('<rect x="17" y="184" width="156" height="274" rx="12" fill="url(#plateShade)" '
               'stroke="#151719" stroke-width="1"/>\n')
    out.append('<path d="M29,458.5 L161,458.5" stroke="#40464c" stroke-width="1"/>\n')
    return "".join(out)


def lcd_shapes():
    out = []
    # Bezel, glass and a thin dark inner edge well away from the live elements.
    out.append('<rect x="20" y="47" width="150" height="111" rx="9" fill="url(#bezelShade)" stroke="#111315" stroke-width="1"/>\n')
    out.append('<rect x="23.5" y="50.5" width="143" height="104" rx="6" fill="none" stroke="#6a7178" stroke-width="1" opacity="0.6"/>\n')
    out.append(f'<rect x="28" y="55" width="134" height="95" rx="3" fill="{LCD_BG}" stroke="#22262a" stroke-width="2"/>\n')
    out.append(f'<rect x="29" y="56" width="132" height="93" rx="2" fill="none" stroke="#9aa688" stroke-width="1"/>\n')
    # Printed scale under the bar graph: a base line and a tick every 5 dB.
    x0, y0, w, _ = COLOR_BAR
    out.append(f'<rect x="{x0}" y="{y0 + 8}" width="{w}" height="1" fill="{LCD_GHOST}"/>\n')
    for i in range(0, w, 10):
        out.append(f'<rect x="{x0 + i}" y="{y0 + 8}" width="1" height="2" fill="{LCD_SEG}" opacity="0.55"/>\n')
    # Ghost segments of the four digits and the point: the digit pictures
    # repeat them exactly, so a blank digit looks like the glass around it.
    for x in DIGIT_X:
        out.append(digit_shapes("", x, DIGIT_Y))
    out.append(point_shape(False))
    # Under the glass the maker's small "dB" legend between digits and "dBA".
    return "".join(out)


def key(rect, face_svg, caption=None, face_fill="url(#keyFace)"):
    x, y, w, h = rect
    out = [f'<rect x="{x + 0.5}" y="{y + 1.5}" width="{w - 1}" height="{h - 1}" rx="6" fill="#0b0c0d" opacity="0.7"/>\n',
           f'<rect x="{x + 1}" y="{y + 0.5}" width="{w - 2}" height="{h - 2}" rx="5.5" fill="{face_fill}" '
           f'stroke="#16181a" stroke-width="1"/>\n',
           f'<path d="M{x + 6},{y + 2} L{x + w - 6},{y + 2}" stroke="#9aa1a8" stroke-width="1" opacity="0.7"/>\n',
           face_svg]
    if caption:
        out.append(text(x + w / 2, y + h + 8.5, caption, 6.2, fill="#aab1b8", weight="normal"))
    return "".join(out)


def key_label(rect, label, size=7.5, dy=0, fill="#f4f5f6"):
    x, y, w, h = rect
    return text(x + w / 2, y + h / 2 + size * 0.36 + dy, label, size, fill=fill)


def power_symbol(cx, cy, r=5.0, colour="#ff6a3d"):
    return (f'<path d="M{cx - r * 0.62},{cy - r * 0.78} A{r},{r} 0 1 0 {cx + r * 0.62},{cy - r * 0.78}" '
            f'fill="none" stroke="{colour}" stroke-width="1.6" stroke-linecap="round"/>\n'
            f'<line x1="{cx}" y1="{cy - r - 1}" x2="{cx}" y2="{cy}" stroke="{colour}" stroke-width="1.6" stroke-linecap="round"/>\n')


def upper_keys():
    out = []
    p = KEYS["power"]
    out.append(key(p, power_symbol(p[0] + p[2] / 2, p[1] + p[3] / 2 + 0.5), "POWER", face_fill="url(#powerFace)"))
    out.append(key(KEYS["ac"], key_label(KEYS["ac"], "A / C", 8.5), "FREQ WEIGHT"))
    out.append(key(KEYS["maxmin"], key_label(KEYS["maxmin"], "MAX/MIN", 7.8), "HOLD: EXIT"))
    out.append(key(KEYS["fast"], key_label(KEYS["fast"], "FAST", 6.4, dy=-3.6) + key_label(KEYS["fast"], "SLOW", 6.4, dy=3.6),
                   "TIME WEIGHT"))
    # Legend between the glass and the keys.
    out.append(text(95, 171, "SOUND LEVEL METER", 8, fill="#d7dbdf", extra='letter-spacing="0.6"'))
    out.append('<path d="M40,176.5 L150,176.5" stroke="#e07a2e" stroke-width="1"/>\n')
    return "".join(out)


def head_shared():
    # Maker's badge on the head, left of the model strip.
    return (text(38, 40.5, "QV58M", 8.5, fill="#f2f3f4", extra='letter-spacing="0.2"')
            + '<rect x="22.5" y="43.5" width="31" height="0" stroke="#e07a2e" stroke-width="1"/>\n')


def head_model(model):
    x, y, w, h = MASK_841
    if model == 842:
        return (text(x + 3, y + 8.6, "842", 8.5, fill="#f2f3f4", anchor="start")
                + text(x + w - 3, y + 8.6, "DATA LOGGER", 7.2, fill="#f09a4a", anchor="end", extra='letter-spacing="0.4"'))
    return (text(x + 3, y + 8.6, "841", 8.5, fill="#f2f3f4", anchor="start")
            + text(x + w - 3, y + 8.6, "SOUND METER", 7.2, fill="#9fc3e8", anchor="end", extra='letter-spacing="0.4"'))


def rec_face(rect, dot_colour):
    x, y, w, h = rect
    cy = y + h / 2 - 0.5
    return (f'<circle cx="{x + 13}" cy="{cy}" r="3.6" fill="{dot_colour}" stroke="#2a0c0c" stroke-width="0.6"/>\n'
            + text(x + 29, cy + 3, "REC", 8.2, fill="#f4f5f6"))


def level_face(rect):
    x, y, w, h = rect
    cx, cy = x + 9.5, y + h / 2 - 0.5
    arrows = (f'<path d="M{cx - 3},{cy - 1.5} L{cx},{cy - 5} L{cx + 3},{cy - 1.5} Z" fill="#f4f5f6"/>\n'
              f'<path d="M{cx - 3},{cy + 1.5} L{cx},{cy + 5} L{cx + 3},{cy + 1.5} Z" fill="#f4f5f6"/>\n')
    return arrows + text(x + 29, cy + 3, "LEVEL", 7.8, fill="#f4f5f6")


def lower_front(model):
    """Everything inside the 841 lower-front rectangle that differs by model."""
    out = []
    if model == 842:
        out.append(key(KEYS["rec"], rec_face(KEYS["rec"], "#e0302a"), "LOGGER"))
        out.append(key(KEYS["level"], level_face(KEYS["level"]), "RANGE"))
        # Logger legend panel.
        out.append('<rect x="30.5" y="364.5" width="129" height="46" rx="4" fill="none" stroke="#e07a2e" stroke-width="1"/>\n')
        out.append(text(95, 378, "DATA LOGGER", 8.4, fill="#f09a4a", extra='letter-spacing="0.8"'))
        out.append(text(95, 390, "REC  start / stop logging", 6.2, fill="#b7bec5", weight="normal"))
        out.append(text(95, 400, "clock • interval • memory via PC", 6.2, fill="#b7bec5", weight="normal"))
        out.append(text(95, 428, "30 – 130 dB    A / C    FAST / SLOW", 6.2, fill="#9aa2aa", weight="normal"))
        out.append(serial_port_legend())
    else:
        out.append(key(KEYS["rec"], rec_face(KEYS["rec"], "#8c9096"), "RECORD"))
        out.append(key(KEYS["level"], level_face(KEYS["level"]), "RANGE"))
        out.append('<rect x="30.5" y="364.5" width="129" height="46" rx="4" fill="none" stroke="#6f9cc8" stroke-width="1"/>\n')
        out.append(text(95, 378, "SOUND LEVEL", 8.4, fill="#9fc3e8", extra='letter-spacing="0.8"'))
        out.append(text(95, 390, "live level to PC", 6.2, fill="#b7bec5", weight="normal"))
        out.append(text(95, 400, "IEC 61672-1  Class 2", 6.2, fill="#b7bec5", weight="normal"))
        out.append(text(95, 428, "30 – 130 dB    A / C    FAST / SLOW", 6.2, fill="#9aa2aa", weight="normal"))
        out.append(serial_port_legend())
    return "".join(out)


def serial_port_legend():
    # The cable socket sits in the foot; the front only points at it.
    return (text(95, 446, "RS-232  ▼", 6.4, fill="#c4cad0")
            + '<rect x="78.5" y="450.5" width="33" height="5" rx="2.5" fill="#111315" stroke="#4a5057" stroke-width="1"/>\n')


def front_body(model):
    return body_shapes() + head_shared() + head_model(model) + lcd_shapes() + upper_keys() + lower_front(model)


# ---------------------------------------------------------------- icon

def icon_svg():
    segs = "".join(
        f'<path transform="translate({x},84) scale(1.9)" d="{SEGMENTS[s]}" fill="#1c2418"/>\n'
        for x, lit in ((94, "bcfg"), (130, "acdefg")) for s in lit)
    return f"""<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
<defs>
  <linearGradient id="b" x1="0" y1="0" x2="1" y2="0">
    <stop offset="0" stop-color="#1a1d20"/><stop offset="0.5" stop-color="#3a3f45"/><stop offset="1" stop-color="#16181b"/>
  </linearGradient>
  <radialGradient id="m" cx="0.4" cy="0.35" r="0.7">
    <stop offset="0" stop-color="#eef1f3"/><stop offset="0.6" stop-color="#a7aeb5"/><stop offset="1" stop-color="#5d646b"/>
  </radialGradient>
  <linearGradient id="g" x1="0" y1="0" x2="1" y2="0">
    <stop offset="0" stop-color="#1f9e2f"/><stop offset="0.6" stop-color="#f0c400"/><stop offset="1" stop-color="#d81c1c"/>
  </linearGradient>
</defs>
<path d="M104,46 L152,46 L168,74 L88,74 Z" fill="#202326"/>
<circle cx="128" cy="34" r="26" fill="url(#m)" stroke="#3b4046" stroke-width="3"/>
<path d="M108,28 Q128,18 148,28 M106,38 Q128,28 150,38" stroke="#6a7178" stroke-width="2.5" fill="none"/>
<rect x="60" y="66" width="136" height="182" rx="26" fill="url(#b)" stroke="#0c0d0e" stroke-width="3"/>
<rect x="74" y="78" width="108" height="78" rx="8" fill="{LCD_BG}" stroke="#505860" stroke-width="4"/>
{segs}
<rect x="84" y="140" width="88" height="8" rx="1" fill="url(#g)"/>
<rect x="78" y="172" width="42" height="24" rx="7" fill="#6b727a"/>
<rect x="136" y="172" width="42" height="24" rx="7" fill="#6b727a"/>
<rect x="78" y="208" width="42" height="24" rx="7" fill="#6b727a"/>
<rect x="136" y="208" width="42" height="24" rx="7" fill="#c8452f"/>
</svg>
"""


# ---------------------------------------------------------------- output

def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(content)


def render(svg_path, png_path, w, h):
    subprocess.run(["rsvg-convert", "-w", str(w), "-h", str(h), "-o", png_path, svg_path], check=True)


def emit(rel, view, body, defs=""):
    svg_path = os.path.join(RESOURCES, rel + ".svg")
    write(svg_path, svg_document(view, body, defs))
    render(svg_path, os.path.join(RESOURCES, rel + ".png"), view[2], view[3])


PANEL_PICTURES = ["front", "bottom841", "mask841", "point", "under", "over", "battery", "autooff", "colorbar"]


def qrc_text():
    lines = ["<!DOCTYPE RCC>", '<RCC version="1.0">', '  <qresource prefix="/panel">']
    lines += [f'    <file alias="{n}.png">panel/{n}.png</file>' for n in PANEL_PICTURES]
    lines += ["  </qresource>", '  <qresource prefix="/digits">']
    lines += [f'    <file alias="LCD{i}.png">digits/LCD{i}.png</file>' for i in range(len(GLYPHS))]
    lines += ["  </qresource>", '  <qresource prefix="/icons">',
              '    <file alias="audimark.svg">icons/audimark.svg</file>',
              '    <file alias="audimark.png">icons/audimark.png</file>', "  </qresource>", "</RCC>"]
    return "\n".join(lines) + "\n"


def main():
    defs = body_defs()
    emit("panel/front", FRONT, front_body(842), defs)
    emit("panel/bottom841", BOTTOM_841, front_body(841), defs)
    emit("panel/mask841", MASK_841, front_body(841), defs)
    emit("panel/point", POINT, lcd_background(POINT) + point_shape(True))
    emit("panel/under", UNDER, lcd_background(UNDER) + pixel_word("UNDER", UNDER[0], UNDER[1] + 1))
    emit("panel/over", OVER, lcd_background(OVER) + pixel_word("OVER", OVER[0], OVER[1] + 1))
    emit("panel/battery", BATTERY, lcd_background(BATTERY) + pixel_rects(BATTERY_ROWS, BATTERY[0], BATTERY[1]))
    emit("panel/autooff", AUTO_OFF, lcd_background(AUTO_OFF) + pixel_rects(AUTO_OFF_ROWS, AUTO_OFF[0], AUTO_OFF[1]))
    emit("panel/colorbar", COLOR_BAR, colour_bar_shapes())
    cell = (0, 0, DIGIT_W, DIGIT_H)
    for index, lit in enumerate(GLYPHS):
        emit(f"digits/LCD{index}", cell, lcd_background(cell) + digit_shapes(lit))
    icon_path = os.path.join(RESOURCES, "icons", "audimark.svg")
    write(icon_path, icon_svg())
    render(icon_path, os.path.join(RESOURCES, "icons", "audimark.png"), 256, 256)
    write(os.path.join(RESOURCES, "resources.qrc"), qrc_text())


if __name__ == "__main__":
    main()
