#!/usr/bin/python3
"""Draws the main window's artwork as SVG into assets/pictures/.

Run with /usr/bin/python3 from anywhere; standard library only.
Every picture keeps to the subset Qt's SVG renderer understands (SVG Tiny
1.2): basic shapes, paths, gradients, opacity, transforms, <g> and <use>.
The instrument pictures living in the same folder are not made here.
"""

import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets", "pictures")

# Palette, shared by every picture so the window reads as one panel.
GRID_BG = "#15171A"      # grid canvas and the margin of every cell skin
PANEL_TOP = "#2E3137"
PANEL_BOTTOM = "#202328"
WELL = "#17191C"         # recess behind buttons; also the buttons' corner fill
EDGE_DARK = "#0B0C0E"
EDGE_LIGHT = "#3C4048"

PAD_OFF = ("#383C43", "#282B31")
PAD_ON = ("#FFE4A8", "#F5A331")
PAD_RND = ("#D6C8FF", "#8C6AF2")
PAD_DIS = "#1E2023"

FACE = ("#EEF0F2", "#C3C7CD")
FACE_HOVER = ("#FAFBFC", "#D3D7DC")
FACE_GREY = "#5F6369"

ACCENT_OFF = "#9A2424"
ACCENT_HOVER = "#FF9A1F"
ACCENT_ON = "#38E65C"
ACCENT_ON_HOVER = "#B4F23A"
ACCENT_PUSH = "#3F8CFF"


def svg(width, height, body):
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" '
        'xmlns:xlink="http://www.w3.org/1999/xlink" version="1.2" baseProfile="tiny" '
        f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">\n'
        f"{body}</svg>\n"
    )


def lin(gid, stops, x1=0, y1=0, x2=0, y2=1, user=None):
    """A linear gradient; stops are (offset, colour[, opacity])."""
    units = ""
    if user:
        x1, y1, x2, y2 = user
        units = ' gradientUnits="userSpaceOnUse"'
    s = "".join(
        f'<stop offset="{o}" stop-color="{c}"'
        + (f' stop-opacity="{a[0]}"' if a else "")
        + "/>"
        for o, c, *a in stops
    )
    return f'<linearGradient id="{gid}" x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}"{units}>{s}</linearGradient>\n'


def rad(gid, stops, cx, cy, r, fx=None, fy=None):
    fx = cx if fx is None else fx
    fy = cy if fy is None else fy
    s = "".join(
        f'<stop offset="{o}" stop-color="{c}"'
        + (f' stop-opacity="{a[0]}"' if a else "")
        + "/>"
        for o, c, *a in stops
    )
    return (
        f'<radialGradient id="{gid}" gradientUnits="userSpaceOnUse" cx="{cx}" cy="{cy}" r="{r}" '
        f'fx="{fx}" fy="{fy}">{s}</radialGradient>\n'
    )


def rect(x, y, w, h, fill, rx=0, extra=""):
    r = f' rx="{rx}"' if rx else ""
    return f'<rect x="{fmt(x)}" y="{fmt(y)}" width="{fmt(w)}" height="{fmt(h)}"{r} fill="{fill}"{extra}/>\n'


def fmt(v):
    if isinstance(v, float):
        s = f"{v:.3f}".rstrip("0").rstrip(".")
        return s if s else "0"
    return str(v)


def write(name, text):
    path = os.path.join(OUT, name + ".svg")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


# ---------------------------------------------------------------- cell skins
#
# A skin covers its whole 32x32 square: the margin in the grid colour, then a
# 24x24 pad from (5,4) to (29,28). Radius 3 keeps the pad over every pixel of
# the clickable square (6..28, 5..27).

PAD_X, PAD_Y, PAD_S, PAD_R = 5, 4, 24, 3


def skin_off(p):
    """The unlit pad; p prefixes the ids so the drawing can live in maschera."""
    defs = lin(f"{p}f", [(0, PAD_OFF[0]), (1, PAD_OFF[1])])
    body = rect(0, 0, 32, 32, GRID_BG)
    body += rect(PAD_X - 0.5, PAD_Y + 0.5, PAD_S + 1, PAD_S + 1, "#0E0F11", PAD_R + 1)
    body += rect(PAD_X, PAD_Y, PAD_S, PAD_S, EDGE_DARK, PAD_R)
    body += rect(PAD_X + 1, PAD_Y + 1, PAD_S - 2, PAD_S - 2, f"url(#{p}f)", PAD_R - 1)
    body += rect(PAD_X + 2, PAD_Y + 1, PAD_S - 4, 1, "#50555E")
    body += rect(PAD_X + 2, PAD_Y + PAD_S - 2, PAD_S - 4, 1, "#1E2025")
    return defs, body


def skin_on():
    defs = rad("glow", [(0, "#FFB23C", 0.55), (0.62, "#FFA62B", 0.22), (1, "#FF9A1F", 0)], 17, 16, 17)
    defs += rad("lit", [(0, "#FFF3D6"), (0.45, PAD_ON[0]), (1, PAD_ON[1])], 15.5, 13, 15, 14.5, 10)
    body = rect(0, 0, 32, 32, GRID_BG)
    body += rect(0, 0, 32, 32, "url(#glow)")
    body += rect(PAD_X, PAD_Y, PAD_S, PAD_S, "#7A4606", PAD_R)
    body += rect(PAD_X + 1, PAD_Y + 1, PAD_S - 2, PAD_S - 2, "#FFD37A", PAD_R - 1)
    body += rect(PAD_X + 2, PAD_Y + 2, PAD_S - 4, PAD_S - 4, "url(#lit)", PAD_R - 1)
    body += rect(PAD_X + 3, PAD_Y + 1, PAD_S - 6, 1, "#FFF8E8", extra=' fill-opacity="0.9"')
    return defs, body


def skin_rnd():
    defs = rad("glow", [(0, "#9B7BFF", 0.5), (0.62, "#8A66FF", 0.2), (1, "#7A55FF", 0)], 17, 16, 17)
    defs += rad("lit", [(0, "#F1ECFF"), (0.45, PAD_RND[0]), (1, PAD_RND[1])], 15.5, 13, 15, 14.5, 10)
    body = rect(0, 0, 32, 32, GRID_BG)
    body += rect(0, 0, 32, 32, "url(#glow)")
    body += rect(PAD_X, PAD_Y, PAD_S, PAD_S, "#2A1670", PAD_R)
    body += rect(PAD_X + 1, PAD_Y + 1, PAD_S - 2, PAD_S - 2, "#B9A3FF", PAD_R - 1)
    body += rect(PAD_X + 2, PAD_Y + 2, PAD_S - 4, PAD_S - 4, "url(#lit)", PAD_R - 1)
    body += rect(PAD_X + 3, PAD_Y + 1, PAD_S - 6, 1, "#FBF9FF", extra=' fill-opacity="0.9"')
    # Dice pips in the four corners: "random" even when an icon covers the middle.
    for cx, cy in ((8.6, 7.6), (25.4, 7.6), (8.6, 24.4), (25.4, 24.4)):
        body += f'<circle cx="{cx}" cy="{cy}" r="1.9" fill="#3B1F9E"/>\n'
        body += f'<circle cx="{cx - 0.4}" cy="{cy - 0.4}" r="0.7" fill="#8F74FF"/>\n'
    return defs, body


def skin_disabled():
    body = rect(0, 0, 32, 32, GRID_BG)
    body += rect(PAD_X, PAD_Y, PAD_S, PAD_S, "#0D0E10", PAD_R)
    body += rect(PAD_X + 1, PAD_Y + 1, PAD_S - 2, PAD_S - 2, PAD_DIS, PAD_R - 1)
    # Diagonal hatching cut by hand to the pad's inner square (x 7..27, y 6..26).
    lo_x, hi_x, lo_y, hi_y = 7, 27, 6, 26
    segs = []
    for k in range(-20, 24, 4):
        # the line y - lo_y = (x - lo_x) + k, clipped to the square
        x0 = max(lo_x, lo_x - k)
        x1 = min(hi_x, hi_x - k)
        if x1 - x0 < 1:
            continue
        segs.append(f"M{x0} {x0 - lo_x + k + lo_y}L{x1} {x1 - lo_x + k + lo_y}")
    body += f'<path d="{"".join(segs)}" stroke="#3A3D44" stroke-width="1.2" fill="none"/>\n'
    body += rect(PAD_X + 2, PAD_Y + 1, PAD_S - 4, 1, "#2A2D32")
    return "", body


def write_skins():
    d, b = skin_off("p")
    write("t1off4", svg(32, 32, f"<defs>\n{d}</defs>\n{b}"))
    for name, fn in (("t1on4", skin_on), ("t1rnd", skin_rnd), ("t1offdis4", skin_disabled)):
        d, b = fn()
        write(name, svg(32, 32, (f"<defs>\n{d}</defs>\n" if d else "") + b))


# ---------------------------------------------------------------- maschera

GRID_W, GRID_H = 590, 285


def write_maschera():
    d, b = skin_off("p")
    out = f"<defs>\n{d}<g id=\"cell\">\n{b}</g>\n</defs>\n"
    out += rect(0, 0, GRID_W, GRID_H, GRID_BG)
    # Beat-group rules in the wide gaps, and one between the drums and the bass.
    for g in (1, 2, 3):
        x = 136 * g + 10 * g - 6
        out += rect(x, 2, 1, 228, "#262930")
        out += rect(x, 251, 1, 28, "#262930")
    out += rect(2, 240, GRID_W - 4, 1, "#262930")
    for r in range(7):
        y = 249 if r == 6 else 40 * r
        for c in range(16):
            x = 34 * c + 10 * (c // 4)
            out += f'<use xlink:href="#cell" x="{x}" y="{y}"/>\n'
    write("maschera", svg(GRID_W, GRID_H, out))


# ---------------------------------------------------------------- buttons
#
# 16x40 pieces. Rows 0 and 39 are the cap's dark outline, so keys stacked at a
# 39-px pitch share one line. The caption sits over the middle; the state is a
# thin LED strip across the top.

def button_piece(kind, face, accent, grey=False, groove=True):
    """kind is 'l', 'c' or 'r'; the right piece is the left one mirrored."""
    gid = "f"
    defs = ""
    if grey:
        face_fill = FACE_GREY
        outline = "#2B2D31"
    else:
        defs += lin(gid, [(0, face[0]), (0.88, face[1]), (0.9, "#B0B5BC"), (1, "#8E949C")],
                    user=(0, 1, 0, 39))
        face_fill = f"url(#{gid})"
        outline = EDGE_DARK
    if accent:
        defs += lin("a", [(0, accent, 0.35), (1, accent, 0)], user=(0, 6, 0, 11))

    body = rect(0, 0, 16, 40, WELL)
    if kind == "c":
        body += rect(0, 0, 16, 40, outline)
        body += rect(0, 1, 16, 38, face_fill)
        hl_x0, hl_x1 = 0, 16
    else:
        # Left piece: rounded on the left, straight (continuing) on the right.
        body += f'<path d="M16 0H5A5 5 0 0 0 0 5V35A5 5 0 0 0 5 40H16Z" fill="{outline}"/>\n'
        body += f'<path d="M16 1H5A4 4 0 0 0 1 5V35A4 4 0 0 0 5 39H16Z" fill="{face_fill}"/>\n'
        if not grey:
            body += rect(1, 5, 1, 29, "#FFFFFF", extra=' fill-opacity="0.45"')
        hl_x0, hl_x1 = 4, 16
    hl = "#FFFFFF" if not grey else "#7A7E84"
    body += rect(hl_x0, 1, hl_x1 - hl_x0, 1, hl, extra=' fill-opacity="0.85"')

    sx0 = 5 if kind != "c" else 0
    if groove:
        # The LED strip: a dark slot with the lit core, then a faint spill of light.
        body += rect(sx0, 3, 16 - sx0, 4, "#8D939B" if not grey else "#4C5055")
        body += rect(sx0, 4, 16 - sx0, 2, "#2A2D33" if not accent else accent)
        if accent:
            body += rect(sx0, 4, 16 - sx0, 1, "#FFFFFF", extra=' fill-opacity="0.35"')
            body += rect(sx0, 7, 16 - sx0, 4, "url(#a)")
        if kind != "c":
            # round the strip's outer end
            body += rect(sx0 - 1, 4, 1, 2, accent or "#2A2D33", extra=' fill-opacity="0.6"')

    content = f"<defs>\n{defs}</defs>\n" if defs else ""
    if kind == "r":
        content += f'<g transform="matrix(-1 0 0 1 16 0)">\n{body}</g>\n'
    else:
        content += body
    return svg(16, 40, content)


BUTTON_FAMILIES = {
    "t1r": dict(face=FACE, accent=ACCENT_OFF),
    "t1gu": dict(face=FACE_HOVER, accent=ACCENT_HOVER),
    "t1v": dict(face=FACE, accent=ACCENT_ON),
    "t1gd": dict(face=FACE_HOVER, accent=ACCENT_ON_HOVER),
    "t1be": dict(face=FACE, accent=ACCENT_PUSH),
    "t1bd": dict(face=None, accent=None, grey=True, groove=False),
    "t1du": dict(face=None, accent=None, grey=True, groove=True),
}


def write_buttons():
    for stem, args in BUTTON_FAMILIES.items():
        for kind in "lcr":
            write(stem + kind, button_piece(kind, **args))


# ---------------------------------------------------------------- globe

def write_mondo():
    defs = rad("sea", [(0, "#9CD8FF"), (0.55, "#3D93E8"), (1, "#174C9E")], 12, 12, 10.5, 9, 8.5)
    body = f'<circle cx="12" cy="12" r="10.5" fill="#0D2A5C"/>\n'
    body += '<circle cx="12" cy="12" r="9.6" fill="url(#sea)"/>\n'
    # Land masses, hand placed.
    land = (
        "M6.2 6.6C7.6 5.4 9.6 4.9 11 5.3C10.6 6.4 11.4 7 10.4 8C9.6 8.8 8.2 8.4 7.8 9.6"
        "C7.5 10.6 8.6 11.2 8.2 12.4C7.8 13.4 6.4 13.2 5.6 12.2C4.9 11 4.8 9.6 5 8.4Z"
        "M13.6 4.6C15.4 4.8 17.2 5.8 18.3 7.2C17.4 7.6 16.4 7 15.6 7.8C14.9 8.6 15.8 9.6 15 10.2"
        "C14.2 10.8 13 10.2 12.8 9.1C12.6 8 13.6 7.4 13.2 6.4C13 5.6 13.1 5 13.6 4.6Z"
        "M11.6 13.2C12.8 12.6 14.4 12.9 15.6 13.6C16.6 14.2 16.3 15.5 15.6 16.4"
        "C14.9 17.4 14.4 18.6 13.4 19.4C12.6 19.2 12.6 18 12.2 17.2C11.8 16.2 10.8 15.6 10.9 14.5"
        "C11 13.9 11.2 13.5 11.6 13.2Z"
        "M17.6 12.4C18.5 12 19.5 12.6 19.6 13.6C19.6 14.6 18.8 15.4 18 15.2C17.3 14.9 17 13.1 17.6 12.4Z"
    )
    body += f'<path d="{land}" fill="#5FC46A" stroke="#2E7A3A" stroke-width="0.6"/>\n'
    grid = (
        "M12 2.4V21.6M2.4 12H21.6"
        "M12 2.4C8.2 5 8.2 19 12 21.6M12 2.4C15.8 5 15.8 19 12 21.6"
        "M4 7.2C8.6 8.4 15.4 8.4 20 7.2M4 16.8C8.6 15.6 15.4 15.6 20 16.8"
    )
    body += f'<path d="{grid}" fill="none" stroke="#FFFFFF" stroke-opacity="0.55" stroke-width="0.7"/>\n'
    body += '<path d="M6 5.6C8 4 10.4 3.4 12.6 3.6" fill="none" stroke="#FFFFFF" stroke-opacity="0.7" stroke-width="1.1" stroke-linecap="round"/>\n'
    write("mondo", svg(24, 24, f"<defs>\n{defs}</defs>\n{body}"))


# ---------------------------------------------------------------- backdrop

W, H = 799, 443
KEY_TOP = 353          # first row of the keyboard's click area
RAIL_END = 355         # keys are seen from here down
BLACK_END = 403
WHITE_W = 19
OCTAVE_W = 133
BLACK_W = 38 / 3       # 12.67, centred on the white-key boundaries below
BLACK_AT = (19, 38, 76, 95, 114)


def well(x0, y0, x1, y1, fill=WELL):
    """A recess: dark top-left edge, light bottom-right edge, flat floor."""
    w, h = x1 - x0, y1 - y0
    s = rect(x0 - 1, y0 - 1, w + 2, h + 2, EDGE_LIGHT)
    s += rect(x0 - 1, y0 - 1, w + 1, h + 1, EDGE_DARK)
    s += rect(x0, y0, w, h, fill)
    return s


def plate(x0, y0, x1, y1):
    """A shallow engraved section outline around a group of controls."""
    w, h = x1 - x0, y1 - y0
    s = rect(x0, y0, w, h, "#1B1E22", 3, ' fill-opacity="0.55"')
    s += (f'<rect x="{x0 + 0.5}" y="{y0 + 0.5}" width="{w - 1}" height="{h - 1}" rx="3" '
          f'fill="none" stroke="{EDGE_DARK}" stroke-opacity="0.8"/>\n')
    s += (f'<rect x="{x0 + 1.5}" y="{y0 + 1.5}" width="{w - 3}" height="{h - 3}" rx="2" '
          f'fill="none" stroke="#FFFFFF" stroke-opacity="0.05"/>\n')
    return s


def keyboard():
    defs = lin("wk", [(0, "#CFCBC1"), (0.05, "#ECE9E1"), (0.5, "#F8F6F0"), (0.935, "#FFFFFB"),
                      (0.943, "#E4E1D9"), (1, "#B9B5AB")], user=(0, RAIL_END, 0, H))
    defs += lin("bk", [(0, "#141517"), (0.5, "#26282C"), (1, "#303237")],
                user=(0, RAIL_END, 0, BLACK_END - 6))
    defs += lin("bl", [(0, "#45484E"), (1, "#1F2023")], user=(0, BLACK_END - 6, 0, BLACK_END))
    defs += lin("rs", [(0, "#000000", 0.45), (1, "#000000", 0)], user=(0, RAIL_END, 0, RAIL_END + 6))

    s = rect(0, KEY_TOP - 4, W, RAIL_END - KEY_TOP + 4, "#0C0D0F")
    s += rect(0, KEY_TOP - 4, W, 1, "#3A3E45")
    s += rect(0, RAIL_END, W, H - RAIL_END, "url(#wk)")
    # Separators: the dark line ends each key, a light line starts the next.
    dark, light = [], []
    for k in range(1, 42):
        x = WHITE_W * k
        dark.append(f"M{x - 0.5} {RAIL_END}V{H}")
        light.append(f"M{x + 0.5} {RAIL_END}V{H - 5}")
    s += f'<path d="{"".join(dark)}" stroke="#5E5B53" stroke-width="1" fill="none"/>\n'
    s += f'<path d="{"".join(light)}" stroke="#FFFFFF" stroke-opacity="0.8" stroke-width="1" fill="none"/>\n'
    s += rect(0, RAIL_END, W, 6, "url(#rs)")
    # Black keys: a cast shadow, the body, the top face and the sloped front lip.
    shadows, bodies, lips, shines = [], [], [], []
    for o in range(6):
        for b in BLACK_AT:
            x = OCTAVE_W * o + b - BLACK_W / 2
            shadows.append(rect(x + 1, RAIL_END, BLACK_W + 1.5, BLACK_END - RAIL_END + 3, "#000000"))
            bodies.append(rect(x, RAIL_END - 1, BLACK_W, BLACK_END - RAIL_END + 1, "#050506"))
            bodies.append(rect(x + 1, RAIL_END, BLACK_W - 2, BLACK_END - RAIL_END - 6, "url(#bk)"))
            lips.append(rect(x + 1, BLACK_END - 6, BLACK_W - 2, 5, "url(#bl)"))
            shines.append(f"M{fmt(x + 1.5)} {RAIL_END + 2}V{BLACK_END - 9}")
    s += '<g fill-opacity="0.22">\n' + "".join(shadows) + "</g>\n"
    s += "".join(bodies) + "".join(lips)
    s += f'<path d="{"".join(shines)}" stroke="#FFFFFF" stroke-opacity="0.1" fill="none"/>\n'
    # Felt strip along the rail.
    s += rect(0, RAIL_END - 1, W, 1, "#5A1C1F")
    return defs, s


def write_sfondo():
    defs = lin("pn", [(0, PANEL_TOP), (1, PANEL_BOTTOM)], user=(0, 0, 0, KEY_TOP - 4))
    kdefs, kbody = keyboard()
    defs += kdefs
    s = rect(0, 0, W, KEY_TOP - 4, "url(#pn)")
    s += rect(0, 0, W, 1, "#474B53")
    s += rect(0, 0, 1, KEY_TOP - 4, "#3A3E45")
    s += rect(W - 1, 0, 1, KEY_TOP - 4, "#1A1C20")

    # Track switches with their random/clear buttons; the bass group; play.
    s += well(3, 5, 148, 249)
    s += well(3, 254, 148, 298)
    s += well(3, 304, 148, 348)
    # Grid bezel (its floor is covered by the grid) and the track fields.
    s += well(166, 5, 760, 294, GRID_BG)
    s += well(762, 5, 790, 291)
    # Tempo, bar-length switches, presets, web.
    s += plate(162, 299, 405, 349)
    s += well(409, 304, 497, 348)
    s += plate(505, 299, 743, 349)
    s += well(746, 304, 790, 348)

    s += kbody
    write("sfondo", svg(W, H, f"<defs>\n{defs}</defs>\n{s}"))


def main():
    os.makedirs(OUT, exist_ok=True)
    write_skins()
    write_maschera()
    write_buttons()
    write_mondo()
    write_sfondo()


if __name__ == "__main__":
    main()
