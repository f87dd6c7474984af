#!/usr/bin/python3
"""Draws the instrument chooser's backdrop, its hover highlight and the
application icon as SVG into assets/pictures/:

  strumenti.svg  583 x 337  3 x 16 cells of 194 x 21 px, one per percussion
                            note 35..82 (note = 35 + 16 * column + row)
  selezione.svg  195 x 22   translucent highlight laid over one cell
  icona.svg       90 x 90   application and window icon; pure white is the
                            see-through colour, so it appears only around
                            the shape

Run with /usr/bin/python3 from anywhere; standard library only. The small
instrument pictures in the chooser are read from the d*.svg files in the same
folder (made by make-instrument-icons.py), so run that one first if they
change. Everything keeps to the SVG subset Qt's renderer understands (SVG
Tiny 1.2): shapes, paths, gradients, opacity, transforms, <g>, <use>, <text>.
"""

import math
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "assets", "pictures")

# Palette, the same as make-artwork.py uses for the main window.
GRID_BG = "#15171A"
PANEL_TOP = "#2E3137"
PANEL_BOTTOM = "#202328"
EDGE_DARK = "#0B0C0E"
EDGE_LIGHT = "#3C4048"
PAD_OFF = ("#383C43", "#282B31")
PAD_ON = ("#FFE4A8", "#F5A331")
AMBER_RIM = "#7A4606"
AMBER_TEXT = "#FFB547"
TEXT = "#ECEEF1"

FONT = 'font-family="Liberation Sans" font-weight="bold"'

# General MIDI percussion names, notes 35..81.
GM_NAMES = {
    35: "Acoustic Bass Drum", 36: "Bass Drum 1", 37: "Side Stick", 38: "Acoustic Snare",
    39: "Hand Clap", 40: "Electric Snare", 41: "Low Floor Tom", 42: "Closed Hi-Hat",
    43: "High Floor Tom", 44: "Pedal Hi-Hat", 45: "Low Tom", 46: "Open Hi-Hat",
    47: "Low-Mid Tom", 48: "Hi-Mid Tom", 49: "Crash Cymbal 1", 50: "High Tom",
    51: "Ride Cymbal 1", 52: "Chinese Cymbal", 53: "Ride Bell", 54: "Tambourine",
    55: "Splash Cymbal", 56: "Cowbell", 57: "Crash Cymbal 2", 58: "Vibraslap",
    59: "Ride Cymbal 2", 60: "Hi Bongo", 61: "Low Bongo", 62: "Mute Hi Conga",
    63: "Open Hi Conga", 64: "Low Conga", 65: "High Timbale", 66: "Low Timbale",
    67: "High Agogo", 68: "Low Agogo", 69: "Cabasa", 70: "Maracas",
    71: "Short Whistle", 72: "Long Whistle", 73: "Short Guiro", 74: "Long Guiro",
    75: "Claves", 76: "Hi Wood Block", 77: "Low Wood Block", 78: "Mute Cuica",
    79: "Open Cuica", 80: "Mute Triangle", 81: "Open Triangle",
}

COLS, ROWS = 3, 16
CELL_W, CELL_H = 194, 21
FIRST_NOTE = 35
LAST_NOTE = FIRST_NOTE + COLS * ROWS - 1      # 82: no instrument


def svg(width, height, body, comment):
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" '
        'xmlns:xlink="http://www.w3.org/1999/xlink" version="1.2" baseProfile="tiny" '
        f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">\n'
        f"<!-- {comment} Drawn by scripts/make-window-artwork.py -->\n"
        f"{body}</svg>\n"
    )


def fmt(v):
    if isinstance(v, float):
        s = f"{v:.2f}".rstrip("0").rstrip(".")
        return "0" if s in ("", "-0") else s
    return str(v)


def stops(items):
    return "".join(
        f'<stop offset="{o}" stop-color="{c}"'
        + (f' stop-opacity="{a[0]}"' if a else "")
        + "/>"
        for o, c, *a in items
    )


def lin(gid, items, x1, y1, x2, y2):
    return (f'<linearGradient id="{gid}" gradientUnits="userSpaceOnUse" x1="{fmt(x1)}" '
            f'y1="{fmt(y1)}" x2="{fmt(x2)}" y2="{fmt(y2)}">{stops(items)}</linearGradient>\n')


def rad(gid, items, cx, cy, r, fx=None, fy=None):
    fx = cx if fx is None else fx
    fy = cy if fy is None else fy
    return (f'<radialGradient id="{gid}" gradientUnits="userSpaceOnUse" cx="{fmt(cx)}" '
            f'cy="{fmt(cy)}" r="{fmt(r)}" fx="{fmt(fx)}" fy="{fmt(fy)}">{stops(items)}'
            "</radialGradient>\n")


def rect(x, y, w, h, fill, rx=0, extra=""):
    r = f' rx="{fmt(rx)}"' if rx else ""
    return (f'<rect x="{fmt(x)}" y="{fmt(y)}" width="{fmt(w)}" height="{fmt(h)}"{r} '
            f'fill="{fill}"{extra}/>\n')


def write(name, text):
    path = os.path.join(OUT, name + ".svg")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


# ---------------------------------------------------------------- strumenti
#
# Lines of EDGE_DARK on pixel columns 0, 194, 388, 582 and rows 0, 21, ... 336
# frame the cells; a cell's floor is the 193 x 20 inside. At the left of each
# cell sits a small lit pad (as on the main grid) carrying the instrument's
# picture, then the note number in amber and the name in light text.

def instrument_pictures():
    """{note: symbol id} and the <defs> text holding one <g> per picture."""
    by_note, defs = {}, ""
    names = sorted(n for n in os.listdir(OUT) if re.fullmatch(r"d\d\d(e\d\d)*[a-z]+\.svg", n))
    for k, name in enumerate(names):
        with open(os.path.join(OUT, name), encoding="utf-8") as f:
            text = f.read()
        start, end = text.index("<g"), text.rindex("</g>") + 4
        body = re.sub(r">\s+<", "><", text[start:end])
        gid = f"i{k}"
        defs += body.replace("<g", f'<g id="{gid}"', 1) + "\n"
        for note in re.findall(r"\d\d", name):
            by_note[int(note)] = gid
    return by_note, defs


def write_strumenti():
    W, H = COLS * CELL_W + 1, ROWS * CELL_H + 1
    icons, icon_defs = instrument_pictures()
    missing = [n for n in GM_NAMES if n not in icons]
    if missing:
        raise SystemExit(f"no picture for notes {missing}")

    defs = lin("row0", [(0, "#2A2D33"), (1, "#23262B")], 0, 1, 0, 21)
    defs += lin("row1", [(0, "#25282D"), (1, "#1F2226")], 0, 1, 0, 21)
    defs += lin("chip", [(0, PAD_ON[0]), (1, PAD_ON[1])], 0, 2, 0, 19)
    # One pad for every cell: dark rim, amber face, a bright top edge.
    defs += ('<g id="pad">' + rect(4, 2, 17, 17, AMBER_RIM, 3)
             + rect(5, 3, 15, 15, "url(#chip)", 2)
             + rect(7, 3, 11, 1, "#FFF8E8", extra=' fill-opacity="0.9"') + "</g>\n")
    # Row floors are drawn in cell coordinates: y runs 0..21 inside each row.
    defs += ('<g id="floor0">' + rect(0, 1, W, 20, "url(#row0)")
             + rect(0, 1, W, 1, "#FFFFFF", extra=' fill-opacity="0.05"') + "</g>\n")
    defs += ('<g id="floor1">' + rect(0, 1, W, 20, "url(#row1)")
             + rect(0, 1, W, 1, "#FFFFFF", extra=' fill-opacity="0.04"') + "</g>\n")
    defs += icon_defs

    body = rect(0, 0, W, H, EDGE_DARK)
    for r in range(ROWS):
        body += f'<use xlink:href="#floor{r % 2}" y="{CELL_H * r}"/>\n'

    # The empty last cell: a sunken, hatched floor.
    x0, y0 = CELL_W * (COLS - 1) + 1, CELL_H * (ROWS - 1) + 1
    x1, y1 = W - 1, H - 1
    body += rect(x0, y0, x1 - x0, y1 - y0, "#131417")
    hatch = []
    for k in range(-(y1 - y0), x1 - x0, 6):
        # the line y - y0 = (x - x0) - k, clipped to the cell
        a = max(x0, x0 + k)
        b = min(x1, x0 + k + (y1 - y0))
        if b - a >= 1:
            hatch.append(f"M{a} {a - x0 - k + y0}L{b} {b - x0 - k + y0}")
    body += f'<path d="{"".join(hatch)}" stroke="#33363D" stroke-width="1.5" fill="none"/>\n'
    body += rect(x0, y0, x1 - x0, 1, "#000000", extra=' fill-opacity="0.5"')

    # Grid lines between the columns (the outer frame is the backdrop).
    for c in range(1, COLS):
        body += rect(CELL_W * c, 0, 1, H, EDGE_DARK)

    pads, pictures, numbers, names = "", "", "", ""
    for c in range(COLS):
        for r in range(ROWS):
            note = FIRST_NOTE + ROWS * c + r
            if note not in GM_NAMES:
                continue
            x, y = CELL_W * c, CELL_H * r
            pads += f'<use xlink:href="#pad" x="{x}" y="{y}"/>\n'
            # 20-px picture at 0.7: 14 px, centred on the pad (12.5, 10.5)
            pictures += (f'<use xlink:href="#{icons[note]}" '
                         f'transform="translate({fmt(x + 5.5)} {fmt(y + 3.5)}) scale(0.7)"/>\n')
            numbers += f'<text x="{x + 42}" y="{y + 15}">{note}</text>\n'
            names += f'<text x="{x + 48}" y="{y + 15}">{GM_NAMES[note]}</text>\n'

    body += pads + pictures
    body += f'<g {FONT} font-size="11" fill="{AMBER_TEXT}" text-anchor="end">\n{numbers}</g>\n'
    body += f'<g {FONT} font-size="12" fill="{TEXT}">\n{names}</g>\n'
    return write("strumenti", svg(W, H, f"<defs>\n{defs}</defs>\n{body}",
                                  "Zumbal instrument chooser backdrop."))


# ---------------------------------------------------------------- selezione

def write_selezione():
    W, H = CELL_W + 1, CELL_H + 1
    defs = lin("hl", [(0, "#FFC45C", 0.36), (1, "#FF9A1F", 0.26)], 0, 0, 0, H)
    body = rect(1, 1, W - 2, H - 2, "url(#hl)", 3)
    body += (f'<rect x="1" y="1" width="{W - 2}" height="{H - 2}" rx="3" fill="none" '
             'stroke="#FFB23C" stroke-width="2"/>\n')
    body += (f'<rect x="2.5" y="2.5" width="{W - 5}" height="{H - 5}" rx="1.5" fill="none" '
             'stroke="#FFF1D0" stroke-opacity="0.45" stroke-width="1"/>\n')
    return write("selezione", svg(W, H, f"<defs>\n{defs}</defs>\n{body}",
                                  "Zumbal chooser highlight, translucent."))


# ---------------------------------------------------------------- icona
#
# A graphite pad box: four pads, two of them lit amber, inside a loop arrow.
# The program keys pure white out, so no #FFFFFF is used inside the box (the
# lightest colour is off-white). Around the box the picture is left
# transparent rather than painted white: both end up see-through, but
# transparent keeps the anti-aliased rim free of a light fringe. Set
# ICON_WHITE_BACKGROUND to paint the surround pure white instead.

ICON_WHITE_BACKGROUND = False

def arc_point(cx, cy, r, deg):
    a = math.radians(deg)
    return cx + r * math.cos(a), cy + r * math.sin(a)


def write_icona():
    S = 90
    defs = lin("box", [(0, "#3A3E45"), (1, "#1C1E22")], 0, 4, 0, 86)
    defs += lin("rim", [(0, "#6A6F78"), (0.5, "#41454C"), (1, "#2C2F34")], 0, 4, 0, 86)
    defs += lin("ring", [(0, "#FAF6EE"), (1, "#C9CDD3")], 0, 10, 0, 80)

    body = rect(0, 0, S, S, "#FFFFFF") if ICON_WHITE_BACKGROUND else ""
    body += rect(3, 3, 84, 84, EDGE_DARK, 17)
    body += rect(4, 4, 82, 82, "url(#rim)", 16)
    body += rect(5.5, 5.5, 79, 79, "url(#box)", 14.5)
    body += rect(18, 6, 54, 1.5, "#F8F8F8", extra=' fill-opacity="0.18"')

    # Loop arrow: a thick ring open at the top, its head going clockwise.
    cx = cy = 45
    R, T = 29, 8
    tail, base, tip_at = -72, 208, 240      # degrees, clockwise on screen
    p0 = arc_point(cx, cy, R, tail)
    p1 = arc_point(cx, cy, R, base + 2)
    ring = f"M{fmt(p0[0])} {fmt(p0[1])}A{R} {R} 0 1 1 {fmt(p1[0])} {fmt(p1[1])}"
    tip = arc_point(cx, cy, R, tip_at)
    o = arc_point(cx, cy, R + 10, base)
    i = arc_point(cx, cy, R - 10, base)
    head = f"M{fmt(tip[0])} {fmt(tip[1])}L{fmt(o[0])} {fmt(o[1])}L{fmt(i[0])} {fmt(i[1])}Z"

    # Pads: 2 x 2 inside the ring.
    P, G = 15, 4
    start = cx - P - G / 2
    pads = ""
    for k, (px, py) in enumerate(((0, 0), (1, 0), (0, 1), (1, 1))):
        x, y = start + px * (P + G), start + py * (P + G)
        lit = k in (0, 3)
        pads += rect(x - 1, y - 1, P + 2, P + 2, AMBER_RIM if lit else EDGE_DARK, 3.5)
        if lit:
            g = f"lit{k}"
            defs += rad(g, [(0, "#FFF3D6"), (0.5, PAD_ON[0]), (1, PAD_ON[1])],
                        x + P / 2, y + P / 2 - 1, P * 0.75)
            pads += rect(x, y, P, P, f"url(#{g})", 2.5)
        else:
            pads += rect(x, y, P, P, PAD_OFF[0], 2.5)
            pads += rect(x + 2, y, P - 4, 1, "#50555E")
    body += pads

    body += f'<path d="{ring}" fill="none" stroke="{EDGE_DARK}" stroke-width="{T + 3}" stroke-linecap="round"/>\n'
    body += f'<path d="{head}" fill="{EDGE_DARK}" stroke="{EDGE_DARK}" stroke-width="3" stroke-linejoin="round"/>\n'
    body += f'<path d="{ring}" fill="none" stroke="url(#ring)" stroke-width="{T}" stroke-linecap="round"/>\n'
    body += f'<path d="{head}" fill="url(#ring)"/>\n'
    return write("icona", svg(S, S, f"<defs>\n{defs}</defs>\n{body}",
                              "Zumbal application icon; pure white would be see-through."))


def main():
    for path in (write_strumenti(), write_selezione(), write_icona()):
        print(f"{os.path.normpath(path)}  {os.path.getsize(path)} bytes")


if __name__ == "__main__":
    main()
