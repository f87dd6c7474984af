#!/usr/bin/python3
"""Draws the 23 percussion-instrument icons shown on the pads of the pattern
grid and writes them to assets/pictures/.

Every icon is a 20 x 20 SVG (SVG Tiny 1.2 subset, so Qt's QSvgRenderer can
draw it): transparent background, near-black outlines, a small shared palette
of saturated fills, so that each reads on the light amber pad of a normal hit
and on the violet pad of a random hit.

Standard library only.  Run:  /usr/bin/python3 scripts/make-instrument-icons.py
"""

import math
import os
import sys

# ---------------------------------------------------------------- palette ---
INK = "#1A1A1A"      # every outline
RED = "#D92B3A"      # drum shells, ball, cord
RED_D = "#A11D2B"
HEAD = "#FBF3DF"     # drum heads (calf / plastic)
STEEL_L = "#F3F6F8"  # chrome highlights, beads
STEEL = "#C9D2DA"    # chrome, hardware, triangle, whistle
STEEL_D = "#7D8B98"
BRASS_L = "#FFE58A"  # cymbals, agogo
BRASS = "#E0A21C"
BRASS_D = "#9C6508"
WOOD_L = "#E9B47A"   # sticks, handles
WOOD = "#B8692F"     # bongos, conga, guiro
WOOD_D = "#7E3F1B"   # rosewood claves, dark grain
COPPER = "#C9592A"   # timbale shells
GREEN = "#23A15B"    # tambourine frame, maraca, cuica shell
SKIN = "#FBD2AC"     # hands
HOLE = "#3A2A22"     # dark openings

SW = 1.3    # main outline width
SWT = 0.9   # thin detail lines
EDGE = 1.0  # outline each side of a rod / stick

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                   "assets", "pictures")


def f(v):
    """Compact number formatting."""
    s = ("%.2f" % v).rstrip("0").rstrip(".")
    if s == "-0":
        s = "0"
    return s


def pts(*xy):
    return " ".join(f(v) for v in xy)


# ---------------------------------------------------------------- shapes ----
def ell(cx, cy, rx, ry, fill, sw=None, stroke=None, extra=""):
    a = ""
    if sw is not None:
        a += ' stroke-width="%s"' % f(sw)
    if stroke is not None:
        a += ' stroke="%s"' % stroke
    return '<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s"%s%s/>' % (
        f(cx), f(cy), f(rx), f(ry), fill, a, extra)


def circ(cx, cy, r, fill, sw=None, stroke=None, extra=""):
    a = ""
    if sw is not None:
        a += ' stroke-width="%s"' % f(sw)
    if stroke is not None:
        a += ' stroke="%s"' % stroke
    return '<circle cx="%s" cy="%s" r="%s" fill="%s"%s%s/>' % (
        f(cx), f(cy), f(r), fill, a, extra)


def path(d, fill, sw=None, stroke=None, extra=""):
    a = ""
    if sw is not None:
        a += ' stroke-width="%s"' % f(sw)
    if stroke is not None:
        a += ' stroke="%s"' % stroke
    return '<path d="%s" fill="%s"%s%s/>' % (d, fill, a, extra)


def line(d, color=INK, w=SWT, extra=""):
    """An open stroke (no fill)."""
    return path(d, "none", w, color if color != INK else None, extra)


def rod(d, color, w):
    """A thin object (wire, stand, stick) with an outline on both sides."""
    return line(d, INK, w + 2 * EDGE) + line(d, color, w)


def stick(x1, y1, x2, y2, w1, w2, fill, tip=0.0):
    """A tapered stick from (x1,y1) (width w1) to (x2,y2) (width w2), with an
    optional round bead of radius tip at the thin end."""
    dx, dy = x2 - x1, y2 - y1
    n = math.hypot(dx, dy)
    nx, ny = -dy / n, dx / n
    a = (x1 + nx * w1 / 2, y1 + ny * w1 / 2)
    b = (x2 + nx * w2 / 2, y2 + ny * w2 / 2)
    c = (x2 - nx * w2 / 2, y2 - ny * w2 / 2)
    d = (x1 - nx * w1 / 2, y1 - ny * w1 / 2)
    s = path("M%s L%s L%s L%s Z" % (pts(*a), pts(*b), pts(*c), pts(*d)),
             fill, SWT + 0.2)
    if tip:
        s += circ(x2, y2, tip, fill, SWT + 0.2)
    return s


def group(body, transform=None):
    t = ' transform="%s"' % transform if transform else ""
    return "<g%s>%s</g>" % (t, body)


def shine(d, w=0.9, op=0.6):
    """A light glint line."""
    return line(d, "#FFFFFF", w, ' stroke-opacity="%s"' % f(op))


def svg(title, body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" version="1.2" '
            'baseProfile="tiny" width="20" height="20" viewBox="0 0 20 20">\n'
            '<!-- Zumbal pad icon: %s. Drawn by scripts/make-instrument-icons.py -->\n'
            '<title>%s</title>\n'
            '<g stroke="%s" stroke-width="%s" stroke-linejoin="round" '
            'stroke-linecap="round">\n%s\n</g>\n</svg>\n') % (
                title, title, INK, f(SW), body)


# ---------------------------------------------------------- drum helpers ----
def drum_top(cx, cy, rx, ry, hoop=0.9):
    """Head seen from 3/4 above: chrome hoop ring and the head inside."""
    return (ell(cx, cy, rx, ry, STEEL) +
            ell(cx, cy, rx - hoop, ry - hoop * ry / rx - 0.15, HEAD, SWT))


def shell(cx, cy, rx, ry, h, fill):
    """Vertical cylinder side from the top ellipse down h."""
    return path("M%s V%s A%s %s 0 0 0 %s V%s Z" % (
        pts(cx - rx, cy), f(cy + h), f(rx), f(ry), pts(cx + rx, cy + h),
        f(cy)), fill)


def ell_y(cx, cy, rx, ry, x):
    """y of the lower half of an ellipse at x."""
    t = (x - cx) / rx
    return cy + ry * math.sqrt(max(0.0, 1 - t * t))


def lugs(cx, cy, rx, ry, h, xs, top=0.5, bot=0.5, block=True):
    """Tension rods on a shell with a small lug block each."""
    s = ""
    for x in xs:
        y1 = ell_y(cx, cy, rx, ry, x) + top
        y2 = ell_y(cx, cy + h, rx, ry, x) - bot
        s += line("M%s V%s" % (pts(x, y1), f(y2)), INK, SWT)
        if block:
            m = (y1 + y2) / 2
            s += path("M%s h1.2 v2 h-1.2 Z" % pts(x - 0.6, m - 1), STEEL,
                      0.7)
    return s


def tripod(x, ytop, yfoot, spread):
    return (rod("M%s L%s" % (pts(x, ytop), pts(x - spread, yfoot)), STEEL, 0.9) +
            rod("M%s L%s" % (pts(x, ytop), pts(x + spread, yfoot)), STEEL, 0.9))


# ------------------------------------------------------------------ icons ---
def bass():
    s = circ(10, 10, 8.55, RED)
    s += shine("M4.2 6.3 A7 7 0 0 1 7.3 3.3", 1.0, 0.55)
    for k in range(8):
        a = math.pi / 8 + k * math.pi / 4
        s += circ(10 + 7.45 * math.cos(a), 10 + 7.45 * math.sin(a), 0.75,
                  STEEL, 0.7)
    s += circ(10, 10, 6.2, HEAD, SWT + 0.2)
    s += ell(10, 10, 3.6, 1.7, RED, SWT)
    s += circ(12.9, 13.2, 1.0, HOLE, 0.7)
    return svg("bass drum", s)


def side_stick():
    cx, cy, rx, ry, h = 10, 12.2, 8.4, 3.3, 3.6
    s = shell(cx, cy, rx, ry, h, STEEL)
    s += lugs(cx, cy, rx, ry, h, (4.0, 8.0, 12.0, 16.0), 0.5, 0.5, False)
    s += drum_top(cx, cy, rx, ry)
    s += stick(3.6, 14.6, 17.6, 3.2, 2.3, 1.2, WOOD_L, 0.9)
    s += line("M12.2 6.3 L11.4 4.8 M14.2 8.4 L15.9 8.1 M10.6 7.9 L9.2 7.3", INK, SWT)
    return svg("side stick", s)


def snare():
    cx, cy, rx, ry, h = 10, 6.6, 8.4, 3.0, 7.0
    s = shell(cx, cy, rx, ry, h, STEEL)
    s += shine("M3.2 10 V13.6", 1.1, 0.8)
    s += line("M%s A%s %s 0 0 0 %s" % (pts(cx - rx, cy + h - 1.2), f(rx),
              f(ry), pts(cx + rx, cy + h - 1.2)), INK, SWT)
    s += lugs(cx, cy, rx, ry, h - 1.2, (4.2, 7.6, 12.4, 15.8), 0.5, 0.4)
    s += drum_top(cx, cy, rx, ry)
    # snare wires peeking under the bottom hoop
    s += line("M5.5 17.4 L14.5 17.4", INK, 0.8)
    return svg("snare drum", s)


def hand_clap():
    hand = ("M9.7 17.2 L9.4 12.6 C9.2 11.2 9.6 8.6 9.8 6.4 C9.9 5 9.4 3.2 8.3 3.3 "
            "C7.5 3.4 7.3 4.3 7.1 5.3 L6.6 8.6 L5.4 7.4 C4.6 6.6 3.4 7.2 3.9 8.3 "
            "L6 12.4 L6.3 17.2 Z")
    one = path(hand, SKIN)
    one += line("M7.4 9.5 L8.6 9.9", INK, 0.7)
    one += path("M5.9 15.8 H10.1 V18.8 H5.9 Z", GREEN)
    tilt = "rotate(11 9.8 5.4)"
    both = group(one, tilt) + group(one, "translate(20 0) scale(-1 1) " + tilt)
    both += line("M10 0.8 V2.4 M6.9 1.3 L7.8 2.7 M13.1 1.3 L12.2 2.7", INK, SWT)
    return svg("hand clap", both)


def floor_tom():
    cx, cy, rx, ry, h = 10, 4.3, 6.6, 2.4, 10.0
    s = rod("M4.4 12 L2.4 19", STEEL, 0.9) + rod("M15.6 12 L17.6 19", STEEL, 0.9)
    s += shell(cx, cy, rx, ry, h, RED)
    s += shine("M5.1 7.6 V13.8", 1.1, 0.5)
    s += lugs(cx, cy, rx, ry, h, (6.8, 13.2), 0.5, 0.5)
    s += drum_top(cx, cy, rx, ry, 0.8)
    return svg("floor tom", s)


def hihat():
    s = rod("M10 1.2 V17", STEEL, 1.0)
    s += tripod(10, 14.8, 19.1, 6.3)
    s += ell(10, 8.1, 8.4, 2.2, BRASS_D)
    s += ell(10, 6.1, 8.4, 2.2, BRASS)
    s += ell(10, 6.1, 5.4, 1.25, "none", 0.7, BRASS_D)
    s += ell(10, 5.5, 2.3, 1.1, BRASS_L, SWT)
    s += path("M9.1 2.4 h1.8 v1.5 h-1.8 Z", STEEL_D, 0.8)
    return svg("hi-hat", s)


def rack_tom():
    cx, cy, rx, ry, h = 10, 5.4, 7.6, 2.8, 7.6
    s = rod("M10 12 V19.2", STEEL, 1.2)
    s += rod("M6.5 19.2 H13.5", STEEL, 0.9)
    s += shell(cx, cy, rx, ry, h, RED)
    s += shine("M3.6 8.6 V12.8", 1.1, 0.5)
    s += lugs(cx, cy, rx, ry, h, (5.2, 14.8), 0.5, 0.5)
    s += path("M8.7 10.6 h2.6 v3.2 h-2.6 Z", STEEL, 0.8)
    s += drum_top(cx, cy, rx, ry)
    return svg("tom-tom", s)


def crash():
    body = ell(0, 0, 7.0, 3.3, BRASS)
    body += ell(0, 0.1, 4.4, 1.9, "none", 0.7, BRASS_D)
    body += ell(0, -0.3, 2.0, 1.0, BRASS_L, SWT)
    body += shine("M-5 -1.4 A6 2.6 0 0 1 -1.5 -2.8", 0.9, 0.7)
    s = group(body, "translate(10 10.4) rotate(-16)")
    burst = ""
    for a, r1, r2 in ((-90, 5.2, 7.6), (-40, 6.4, 8.6), (-140, 6.4, 8.6),
                      (0, 8.3, 9.6), (180, 8.3, 9.6), (40, 6.0, 8.4),
                      (140, 6.0, 8.4), (90, 5.1, 7.8)):
        t = math.radians(a)
        burst += "M%s L%s " % (pts(10 + r1 * math.cos(t), 10.4 + r1 * math.sin(t)),
                               pts(10 + r2 * math.cos(t), 10.4 + r2 * math.sin(t)))
    s += line(burst.strip(), INK, 1.2)
    return svg("crash cymbal", s)


def ride():
    s = rod("M10 7 V17", STEEL, 1.0)
    s += tripod(10, 14.8, 19.1, 6.3)
    body = ell(0, 0, 9.2, 3.4, BRASS)
    body += ell(0, 0, 6.4, 2.3, "none", 0.7, BRASS_D)
    body += ell(0, 0, 3.6, 1.3, "none", 0.7, BRASS_D)
    body += ell(0, -0.4, 2.0, 1.0, BRASS_L, SWT)
    body += shine("M-7 -1.3 A8 3 0 0 1 -3 -2.9", 0.9, 0.7)
    s += group(body, "translate(10 6.4) rotate(-9)")
    return svg("ride cymbal", s)


def cowbell():
    s = rod("M8 4 V2 Q8 1 9 1 H11 Q12 1 12 2 V4", STEEL, 1.1)
    s += path("M6 4.2 Q10 3.1 14 4.2 L16.9 14.9 Q10 16.8 3.1 14.9 Z", STEEL)
    s += path("M11.9 3.8 Q13.1 3.9 14 4.2 L16.9 14.9 Q15.6 15.3 14.1 15.6 Z",
              STEEL_D, SWT)
    s += shine("M5.6 7 L4.4 12.6", 1.1, 0.85)
    s += ell(10, 15.3, 6.9, 1.9, STEEL_L)
    s += ell(10, 15.45, 5.7, 1.2, HOLE, SWT)
    s += line("M3.6 4.4 L2.2 3.4 M2.9 6.9 L1.2 6.9 "
              "M16.4 4.4 L17.8 3.4 M17.1 6.9 L18.8 6.9", INK, SWT)
    return svg("cowbell", s)


def tambourine():
    r = 6.5
    s = circ(10, 10, r, "none", 2.6 + 2 * SW)
    s += circ(10, 10, r, "none", 2.6, GREEN)
    s += shine("M5.2 6.4 A6.5 6.5 0 0 1 7.8 4", 1.0, 0.6)
    for k in range(5):
        a = math.radians(-90 + 36 + 72 * k)
        x, y = 10 + r * math.cos(a), 10 + r * math.sin(a)
        s += circ(x, y, 2.0, STEEL, SWT + 0.1)
        s += circ(x, y, 0.55, INK, 0)
    return svg("tambourine", s)


def vibraslap():
    s = rod("M5.6 6 V12.6 Q5.6 17.6 10.1 17.6 Q14.6 17.6 14.6 12.6 V8.4", STEEL, 1.1)
    box = path("M-3.8 -2.6 H3.8 V2.6 H-3.8 Z", WOOD)
    box += path("M-2.4 0.4 H2.4 V1.4 H-2.4 Z", HOLE, 0.6)
    box += circ(-2.2, -1.2, 0.55, STEEL_L, 0.6) + circ(0, -1.2, 0.55, STEEL_L, 0.6) + \
        circ(2.2, -1.2, 0.55, STEEL_L, 0.6)
    s += group(box, "translate(5.3 4.3) rotate(-14)")
    s += circ(14.6, 6.0, 3.1, RED)
    s += circ(13.6, 5.0, 0.9, "#FFFFFF", 0, None, ' fill-opacity="0.6"')
    return svg("vibraslap", s)


def bongos():
    def bongo(cx, cy, rx, ry, h, taper):
        b = path("M%s L%s A%s %s 0 0 0 %s L%s Z" % (
            pts(cx - rx, cy), pts(cx - rx + taper, cy + h), f(rx - taper),
            f(ry * 0.9), pts(cx + rx - taper, cy + h), pts(cx + rx, cy)), WOOD)
        b += line("M%s A%s %s 0 0 0 %s" % (
            pts(cx - rx + 0.3, cy + 2.0), f(rx - 0.3), f(ry),
            pts(cx + rx - 0.3, cy + 2.0)), INK, SWT)
        b += line("M%s V%s" % (pts(cx - rx + 1.8, cy + 2.3 + ry * 0.4), f(cy + h + 0.3)),
                  WOOD_D, 0.8)
        b += drum_top(cx, cy, rx, ry, 0.8)
        return b
    s = path("M8 11.6 H12 V14.2 H8 Z", WOOD_D)
    s += bongo(5.6, 7.0, 4.0, 1.6, 9.2, 0.9)
    s += bongo(14.2, 7.8, 4.9, 1.9, 9.0, 1.1)
    return svg("bongos", s)


def conga():
    s = path("M5.3 3.8 C3.9 7.6 3.5 11.8 4.9 17.9 A5.1 1.5 0 0 0 15.1 17.9 "
             "C16.5 11.8 16.1 7.6 14.7 3.8 Z", WOOD)
    s += line("M8.2 5.6 C7.4 9.6 7.4 13.6 8.1 19 M11.8 5.6 C12.6 9.6 12.6 13.6 11.9 19",
              WOOD_D, 0.8)
    s += shine("M5.9 8 C5.4 10.6 5.5 13 6 15.2", 1.1, 0.45)
    s += line("M4.3 15.8 A5.7 1.6 0 0 0 15.7 15.8", INK, SWT)
    for x in (6.0, 10.0, 14.0):
        y = ell_y(10, 3.8, 4.7, 1.5, x) + 0.4
        s += line("M%s V%s" % (pts(x, y), f(y + 3.0)), INK, SWT)
        s += path("M%s h1.2 v1.6 h-1.2 Z" % pts(x - 0.6, y + 2.4), STEEL, 0.7)
    s += drum_top(10, 3.8, 4.7, 1.5, 0.7)
    return svg("conga", s)


def timbales():
    s = rod("M10 11.5 V17.2", STEEL, 1.1)
    s += tripod(10, 15.4, 19.2, 6.2)
    s += rod("M3.4 11.6 H16.6", STEEL, 0.9)
    s += shell(5.5, 6.0, 4.6, 1.6, 3.9, COPPER)
    s += lugs(5.5, 6.0, 4.6, 1.6, 3.9, (3.4, 7.6), 0.4, 0.4, False)
    s += drum_top(5.5, 6.0, 4.6, 1.6, 0.8)
    s += shell(14.4, 7.1, 5.0, 1.8, 4.1, COPPER)
    s += lugs(14.4, 7.1, 5.0, 1.8, 4.1, (12.2, 16.6), 0.4, 0.4, False)
    s += shine("M10.5 9.4 V11.4", 1.0, 0.5)
    s += drum_top(14.4, 7.1, 5.0, 1.8, 0.8)
    return svg("timbales", s)


def agogo():
    s = rod("M7.3 12.4 Q7.6 16.6 10 16.6 Q12.4 16.6 12.8 12.8 M10 16.6 V19.2",
            STEEL, 1.1)
    s += path("M1.9 4.4 C2.8 8.4 5.2 11.4 7.4 13.6 C8.6 11 9.4 8 9.3 4.4 Z", BRASS)
    s += ell(5.6, 4.4, 3.7, 1.35, BRASS_L)
    s += ell(5.6, 4.5, 2.5, 0.75, HOLE, SWT)
    s += path("M11.8 6.4 C11.6 9.2 12 11.6 12.8 13.8 C14.8 12.2 16.8 9.4 17.9 6.4 Z",
              BRASS)
    s += ell(14.85, 6.4, 3.05, 1.15, BRASS_L)
    s += ell(14.85, 6.5, 2.0, 0.6, HOLE, SWT)
    s += shine("M3.6 6.4 C4.2 8 5.2 9.6 6.4 11", 0.9, 0.6)
    return svg("agogo", s)


def cabasa():
    s = stick(10, 11.6, 10, 18.8, 3.0, 2.6, WOOD_L)
    s += circ(10, 18.8, 1.3, WOOD_L, SWT + 0.2)
    s += shell(10, 3.6, 6.9, 1.8, 7.2, STEEL_D)
    beads = ""
    for row, y in enumerate((6.0, 8.4, 10.8)):
        off = 0.0 if row % 2 == 0 else 1.3
        x = 4.8 + off
        while x < 15.8:
            yy = y + 1.4 * math.sqrt(max(0, 1 - ((x - 10) / 6.9) ** 2)) - 0.8
            beads += circ(x, yy, 1.1, STEEL_L, 0.6)
            x += 2.6
    s += beads
    s += ell(10, 3.6, 6.9, 1.8, WOOD)
    s += ell(10, 3.6, 1.3, 0.5, WOOD_D, 0.6)
    return svg("cabasa", s)


def maracas():
    def maraca(head):
        m = stick(0, 0.5, 0, 8.0, 1.9, 1.6, WOOD_L)
        m += ell(0, -4.0, 3.5, 4.3, head)
        m += line("M-3.3 -3 Q-1.7 -1.4 0 -3 Q1.7 -4.6 3.3 -3", HEAD, 1.1)
        m += shine("M-2.2 -6.2 Q-1.4 -7.4 0 -7.6", 1.0, 0.7)
        return m
    s = group(maraca(RED), "translate(6.1 10.6) rotate(-20)")
    s += group(maraca(GREEN), "translate(13.9 10.6) rotate(20)")
    s += line("M1 4.4 L0.4 3 M19 4.4 L19.6 3", INK, SWT)
    return svg("maracas", s)


def whistle():
    s = circ(3.6, 5.6, 1.6, "none", 1.0 + 2 * EDGE)
    s += circ(3.6, 5.6, 1.6, "none", 1.0, RED)
    s += path("M18.6 7 H8 A5.5 5.5 0 1 0 13.23 10.8 H18.6 Z", STEEL)
    s += shine("M4.2 13.6 A4 4 0 0 0 7.2 16.4", 1.1, 0.8)
    s += path("M9.6 7 L10.6 9.2 H12.4 V7 Z", HOLE, SWT)
    s += line("M17.3 7.2 V10.6", INK, SWT)
    s += line("M9.8 4.8 L9.2 3.2 M11.6 4.6 L11.8 2.8 M13.4 4.8 L14.3 3.3", INK, SWT)
    return svg("whistle", s)


def guiro():
    body = ell(0, 0, 8.3, 3.9, WOOD)
    body += line(" ".join("M%s V%s" % (pts(x, -3.55 * math.sqrt(1 - (x / 8.3) ** 2) + 0.4),
                                          f(0.2))
                          for x in (-5.2, -3.9, -2.6, -1.3, 0.0, 1.3, 2.6, 3.9, 5.2)),
                 WOOD_D, 0.9)
    body += ell(-3.2, 2.0, 1.2, 0.6, HOLE, 0.6) + ell(1.8, 2.1, 1.2, 0.6, HOLE, 0.6)
    body += shine("M-6.8 -1.4 Q-6.2 -3 -4.5 -3.4", 0.9, 0.6)
    s = group(body, "translate(9.3 12.4) rotate(-22)")
    s += stick(19.2, 3.4, 6.4, 7.2, 1.9, 1.3, STEEL, 0)
    return svg("guiro", s)


def claves():
    s = stick(2.4, 16.8, 17.2, 4.8, 3.0, 3.0, WOOD)
    s += shine("M3.4 15.2 L8.8 10.8", 0.9, 0.45)
    s += stick(2.8, 4.0, 17.6, 15.6, 3.0, 3.0, WOOD_D)
    s += shine("M4.1 3.9 L9.4 8.1", 0.9, 0.45)
    s += line("M10 3.2 V1.2 M7.3 3.6 L6.3 2.2 M12.7 3.6 L13.7 2.2", INK, SWT)
    return svg("claves", s)


def cuica():
    cx, cy, rx, ry, h = 10, 8.2, 6.2, 2.1, 9.0
    s = shell(cx, cy, rx, ry, h, GREEN)
    s += shine("M5.2 11 V15.6", 1.1, 0.5)
    s += line("M%s A%s %s 0 0 0 %s" % (pts(cx - rx, cy + h - 2.0), f(rx), f(ry),
              pts(cx + rx, cy + h - 2.0)), INK, SWT)
    s += lugs(cx, cy + h - 3.8, rx, ry, 1.8, (6.0, 10.0, 14.0), 0.1, 0.1)
    s += ell(cx, cy, rx, ry, STEEL)
    s += ell(cx, cy + 0.1, rx - 0.9, ry - 0.5, HOLE, SWT)
    s += stick(10, 8.4, 11.8, 1.2, 1.1, 1.3, WOOD_L)
    s += line("M14.4 3.2 Q15.6 2.4 16.8 3.2 M14.8 4.9 Q16 4.2 17.2 4.9", INK, SWT)
    return svg("cuica", s)


def triangle():
    s = rod("M9.2 0.8 V3.6", RED, 0.8)
    s += rod("M3.2 15.4 L9.2 4.0 L17 17.4 H4.6", STEEL, 1.3)
    s += stick(19.4, 6.2, 14.2, 9.7, 1.2, 1.0, STEEL_D, 0.75)
    s += line("M15.4 12.3 L16.9 12.9 M14.9 13.9 L16.2 15", INK, SWT)
    return svg("triangle", s)


ICONS = [
    ("d35e36bass.svg", bass),
    ("d37stick.svg", side_stick),
    ("d38e40snare.svg", snare),
    ("d39hand.svg", hand_clap),
    ("d41tomlow.svg", floor_tom),
    ("d42e44e46hihat.svg", hihat),
    ("d43e45e47e48e50tom.svg", rack_tom),
    ("d49e52e55e57clash.svg", crash),
    ("d51e59cymbal.svg", ride),
    ("d53e56bell.svg", cowbell),
    ("d54tambo.svg", tambourine),
    ("d58vibraslap.svg", vibraslap),
    ("d60e61bongo.svg", bongos),
    ("d62e63e64conga.svg", conga),
    ("d65e66timbale.svg", timbales),
    ("d67e68agogo.svg", agogo),
    ("d69cabasa.svg", cabasa),
    ("d70maracas.svg", maracas),
    ("d71e72whistle.svg", whistle),
    ("d73e74guiro.svg", guiro),
    ("d75e76e77claves.svg", claves),
    ("d78e79cuica.svg", cuica),
    ("d81e80triangle.svg", triangle),
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else OUT
    os.makedirs(out, exist_ok=True)
    for name, draw in ICONS:
        text = draw()
        if len(text.encode()) >= 4096:
            sys.exit("%s is %d bytes, over 4 KB" % (name, len(text.encode())))
        with open(os.path.join(out, name), "w", encoding="utf-8") as fh:
            fh.write(text)
        print("%-26s %5d bytes" % (name, len(text.encode())))


if __name__ == "__main__":
    main()
