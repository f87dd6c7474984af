#!/usr/bin/python3
"""Writes the factory loop presets into assets/loops/.

Run with /usr/bin/python3 from anywhere; standard library only. The output is
deterministic: the same script always writes the same bytes. Every file is
checked after writing (and read back from disk) and the script stops with an
error when anything is off.

A loop is 7 tracks x 16 strokes: tracks 0..5 are drums, track 6 the bass.
Patterns below are written over the strokes that actually play, so a 4/4 loop
has 16 symbols per track, a 3/4 loop 12, a ternary loop 12 (strokes 4, 8, 12
and 16 are skipped) and a 3/4 ternary loop 9. Spaces and "|" are only there to
show the beats and are ignored.

Drum symbols (velocity in brackets):
    X accent hit (118)   x hit (100)   o soft hit (80)   g ghost hit (48)
    q feathered hit (36) ? random hit (100)   , random ghost (56)   . rest
A random hit plays on about one pass in four, at 75-100 % of its velocity.

Bass tokens: a note name such as A1, C#2 or Bb1 (middle C is C4 = 60), with an
optional ">" for an accent (118) or "_" for a soft note (76); plain notes get
100. "." is a rest. A note sounds for three strokes or until the next note.

Two loops (Bossa Nova, Salsa Clave) count one stroke as an eighth note, so
their 16 strokes span two bars of the style and the tempo is the half-note
pulse: 68 feels like a bossa at 136, 96 like a salsa at 192.
"""

import os
import re
import sys

OUT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets", "loops"))

HEADER_SUFFIX = " drum loop created by Zumbal (Zumbal loop text file format)"
FILE_TAG = "(Zumbal loop text file format)"
VERSION = 130
LINES = 258
TRACKS = 7
DRUM_TRACKS = 6
STROKES = 16
CELLS = TRACKS * STROKES
BASS_TRACK = 6

HIT, REST, RANDOM, DISABLED = 0, 1, 2, 3
BASS_REST = 10
BASS_LOW, BASS_HIGH = 28, 60          # E1..C4
ON, OFF = 101, 1
PUSH = 11

DRUM_SYMBOLS = {
    "X": (HIT, 118),
    "x": (HIT, 100),
    "o": (HIT, 80),
    "g": (HIT, 48),
    "q": (HIT, 36),
    "?": (RANDOM, 100),
    ",": (RANDOM, 56),
    ".": (REST, None),
}
BASS_VELOCITY = {"": 100, ">": 118, "_": 76}
NOTE_CLASSES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
DEFAULT_REST_VELOCITY = 100

BASS_PROGRAMS = {
    33: "Acoustic Bass", 34: "Electric Bass (finger)", 35: "Electric Bass (pick)",
    36: "Fretless Bass", 37: "Slap Bass 1", 38: "Slap Bass 2",
    39: "Synth Bass 1", 40: "Synth Bass 2",
}


class LoopError(Exception):
    pass


def active_strokes(three_four, ternary):
    """1-based strokes that play for the given meter flags."""
    strokes = range(1, 13) if three_four else range(1, 17)
    return [s for s in strokes if not (ternary and s % 4 == 0)]


def meter_label(three_four, ternary):
    if three_four and ternary:
        return "3/4 ternary (9/8)"
    if ternary:
        return "4/4 ternary (12/8)"
    return "3/4" if three_four else "4/4"


def drum(sound, volume, pattern, on=True):
    return {"sound": sound, "volume": volume, "pattern": pattern, "on": on}


def bass(program, volume, line, on=True):
    return {"sound": program, "volume": volume, "line": line, "on": on}


def no_bass(program=33, volume=100):
    """A bass track with nothing written in it, switched off."""
    return {"sound": program, "volume": volume, "line": None, "on": False}


# ---------------------------------------------------------------------------
# The loops. Drum track lists hold exactly six tracks, DRUM 1 first.
# ---------------------------------------------------------------------------

LOOPS = [
    dict(
        name="Afro Six Eight",
        three_four=False, ternary=True, tempo=100,
        about="12/8 bell, shaker and a conga conversation over a fretless E minor groove",
        drums=[
            drum(36, 100, "X.. ... x.. ..,"),          # kick, random pickup
            drum(56, 95,  "X.x .xx .x. x.x"),          # bell
            drum(70, 75,  "xgo xgo xgo xg,"),          # shaker
            drum(64, 100, "... X.. ... X.."),          # low conga, open
            drum(63, 90,  "... .xo ... .x,"),          # high conga, open
            drum(62, 85,  "g.g ... gXg ..."),          # high conga, muted/slap
        ],
        bass=bass(36, 100, "E1> . . | . B1 E2 | . D2 . | B1 . ."),
    ),
    dict(
        name="Ballad Slow",
        three_four=False, ternary=False, tempo=66,
        about="Slow 4/4 ballad: side stick, soft ride, a crash now and then, fretless C to Am",
        drums=[
            drum(35, 100, "X... .... x.o. ..,."),      # kick
            drum(37, 95,  ".... X... .... X..,"),      # side stick
            drum(51, 80,  "x.o. x.o. x.o. x.o."),      # ride
            drum(44, 70,  ".... x... .... x..."),      # pedal hi-hat
            drum(49, 70,  "?... .... .... ...."),      # crash on one, sometimes
            drum(69, 60,  "o.g, o.g, o.g, o.g,"),      # cabasa
        ],
        bass=bass(36, 100, "C2> . . C2_ | . . G1_ . | A1 . . A1_ | . . G1 ."),
    ),
    dict(
        name="Blues Shuffle",
        three_four=False, ternary=True, tempo=96,
        about="Triplet shuffle with a boogie bass in E; DRUM 4 swaps the hats for a ride",
        drums=[
            drum(36, 100, "X.. ... x.. ..,"),          # kick
            drum(38, 100, "... X.. ..g X.,"),          # snare
            drum(42, 90,  "x.o x.o x.o x.o"),          # closed hi-hat, shuffled
            drum(51, 85,  "x.o X.o x.o X.o", on=False),  # ride shuffle, optional
            drum(54, 75,  "... x., ... x.."),          # tambourine
            drum(46, 70,  "... ... ... ..?"),          # open hat into the one
        ],
        bass=bass(34, 100, "E1> . E1_ | G#1 . G#1_ | B1 . C#2_ | D2 . C#2_"),
    ),
    dict(
        name="Boom Bap",
        three_four=False, ternary=False, tempo=90,
        about="Head-nod hip-hop with a dusty synth bass in A minor; DRUM 6 is a rimshot alternative",
        drums=[
            drum(36, 110, "X... ...o ..x. ...,"),      # kick
            drum(40, 105, ".... X... ..., X..."),      # snare
            drum(42, 85,  "x.o. x,o. x.o. x..,"),      # closed hi-hat
            drum(46, 75,  ".... .... .... ..o."),      # open hi-hat
            drum(39, 80,  ".... .... .... ?..."),      # clap doubling, sometimes
            drum(37, 95,  ".... x... .... x...", on=False),  # side stick, optional
        ],
        bass=bass(39, 105, "A1> . . . | . . . A1 | . . C2 . | . . G1 ."),
    ),
    dict(
        name="Bossa Nova",
        three_four=False, ternary=False, tempo=68,
        about="Bossa clave on side stick, shaker eighths, Dm7 to G7 acoustic bass (felt at 136)",
        drums=[
            drum(36, 90,  "x..o x..o x..o x..o"),      # kick
            drum(37, 95,  "x..x ..x. ..x. .x.."),      # side stick, bossa clave
            drum(70, 80,  "xgog xgo, xgog xgo,"),      # shaker
            drum(44, 70,  ".... x... .... x..."),      # pedal hi-hat
            drum(51, 75,  "x.o. x.o. x.o. x.o.", on=False),  # ride, optional
            drum(64, 70,  ".... ...g .... ..g,"),      # low conga touches
        ],
        bass=bass(33, 100, "D2> . . A1 | . . A1_ . | G1> . . D2 | . . D2_ ."),
    ),
    dict(
        name="Disco Four on the Floor",
        three_four=False, ternary=False, tempo=122,
        about="Four-on-the-floor kick, claps, open hats on the offbeat, octave synth bass",
        drums=[
            drum(36, 115, "X... X... X... X..."),      # kick
            drum(39, 100, ".... X... .... X..."),      # clap
            drum(42, 80,  "xg.g xg.g xg.g xg.g"),      # closed hi-hat
            drum(46, 95,  "..x. ..x. ..x. ..x."),      # open hi-hat
            drum(54, 70,  ".g,g xg,g .g,g xg,g"),      # tambourine
            drum(56, 70,  "x.x. x.xx .x.x x.x.", on=False),  # cowbell, optional
        ],
        bass=bass(40, 105, "A1 . A2> . | A1 . A2> . | C2 . C3> . | D2 . D3> ."),
    ),
    dict(
        name="Drum n Bass",
        three_four=False, ternary=False, tempo=174,
        about="Two-step break with random ghost snares and a sub-heavy synth bass in E",
        drums=[
            drum(36, 115, "X... .... ..x, ...."),      # kick
            drum(38, 110, ".... X..g .,.. X..,"),      # snare with ghosts
            drum(42, 80,  "o.x. o.x, o.x. o..,"),      # closed hi-hat
            drum(46, 75,  ".... .... .... ..x."),      # open hi-hat
            drum(70, 65,  "g,g, g,g, g,g, g,g,"),      # shaker
            drum(51, 70,  "x.o. x.o. x.o. x.o.", on=False),  # ride, optional
        ],
        bass=bass(39, 110, "E1> . . . | . . E1_ . | . . G1 . | . A1 . ."),
    ),
    dict(
        name="Funk Ghosts",
        three_four=False, ternary=False, tempo=100,
        about="Sixteenth-note funk: ghost snares that come and go, slap bass in E",
        drums=[
            drum(36, 110, "X.x. .... ..x, .x.."),      # kick
            drum(38, 105, ",... X..g .g., X..,"),      # snare, ghost notes
            drum(42, 85,  "xgog xgog xgog xg.g"),      # closed hi-hat
            drum(46, 85,  ".... .... .... ..x."),      # open hi-hat
            drum(54, 70,  ".... x.,. .... x.,."),      # tambourine
            drum(56, 65,  "x..x ..x. x.x. x...", on=False),  # cowbell, optional
        ],
        bass=bass(37, 105, "E1> . E2_ . | . . . G1 | A1 . E2> . | D2_ . B1 ."),
    ),
    dict(
        name="Jazz Ride",
        three_four=False, ternary=True, tempo=138,
        about="Swinging ride, hi-hat on 2 and 4, feathered kick, walking acoustic bass in F",
        drums=[
            drum(51, 95,  "x.. X.o x.. X.o"),          # ride, spang-a-lang
            drum(44, 90,  "... x.. ... x.."),          # pedal hi-hat
            drum(36, 60,  "q.. q.. q.. q.,"),          # feathered kick
            drum(38, 80,  "..? ..g ... ..?"),          # snare comping
            drum(37, 80,  "... x.. ... x..", on=False),  # cross stick on 2 and 4, optional
            drum(55, 60,  "... ... ... ..,"),          # splash, sometimes
        ],
        bass=bass(33, 105, "F1> . . | A1 . . | C2 . . | E1 . ."),
    ),
    dict(
        name="Punk Polka",
        three_four=False, ternary=False, tempo=180,
        about="Fast oom-pa punk beat, crash on the one, tom pickups, driving pick bass",
        drums=[
            drum(36, 115, "X... x... X... x..."),      # kick on the beat
            drum(38, 105, "..x. ..X. ..x. ..X."),      # snare on the offbeat
            drum(42, 80,  "x.o. x.o. x.o. x.o."),      # closed hi-hat
            drum(49, 75,  "X... .... .... ...."),      # crash
            drum(41, 90,  ".... .... .... .,,,"),      # floor tom pickups
            drum(39, 80,  "..x. ..x. ..x. ..x.", on=False),  # clap layer, optional
        ],
        bass=bass(35, 105, "E1> . E1 . | E1 . E1 . | G1> . G1 . | A1> . A1 ."),
    ),
    dict(
        name="Reggae One Drop",
        three_four=False, ternary=False, tempo=74,
        about="One drop: kick and rim together on three, tom fills now and then, deep finger bass",
        drums=[
            drum(36, 110, ".... .... X... ...."),      # kick on three
            drum(37, 100, ".... .... X... ...."),      # side stick on three
            drum(42, 85,  "x.o, x.o. x.o, x.g."),      # closed hi-hat
            drum(46, 75,  ".... .... .... ...?"),      # open hi-hat, sometimes
            drum(50, 80,  ".... .... .... .??."),      # high tom fill, sometimes
            drum(44, 60,  ".... x... .... x..."),      # pedal hi-hat
        ],
        bass=bass(34, 110, ". . A1> . | . . A1 C2 | . . E2 . | D2_ . C2 ."),
    ),
    dict(
        name="Rock Eighths",
        three_four=False, ternary=False, tempo=116,
        about="Straight eighths rock; random crash and tom pickups; bass written but switched off",
        drums=[
            drum(36, 115, "X... ...o X.x. ...."),      # kick
            drum(38, 110, ".... X... ..., X..."),      # snare
            drum(42, 95,  "x.o. x.o. x.o. x.o."),      # closed hi-hat
            drum(49, 80,  "?... .... .... ...."),      # crash, sometimes
            drum(43, 90,  ".... .... .... ..??"),      # floor tom pickups
            drum(51, 85,  "x.o. x.o. x.o. x.o.", on=False),  # ride for a chorus, optional
        ],
        bass=bass(35, 100, "A1> . . A1 | . . A1 . | C2 . . C2 | . . D2 .", on=False),
    ),
    dict(
        name="Salsa Clave",
        three_four=False, ternary=False, tempo=96,
        about="Son clave 3-2, bell, conga tumbao and anticipated finger bass (felt at 192)",
        drums=[
            drum(75, 100, "x..x ..x. ..x. x..."),      # claves, son 3-2
            drum(56, 85,  "X.o. x.ox X.o. x.ox"),      # cowbell
            drum(36, 80,  "...x .... .... ..,."),      # kick, bombo
            drum(62, 90,  "ggXg gg.. ggXg gg.."),      # high conga, heel-toe-slap
            drum(63, 95,  ".... ..xx .... ..x."),      # high conga, open tones
            drum(64, 95,  ".... .... .... ...x"),      # low conga, open tone
        ],
        bass=bass(34, 105, ". . . C2> | . . G1 . | . . . G1> | . . D2 ."),
    ),
    dict(
        name="Samba Batucada",
        three_four=False, ternary=False, tempo=100,
        about="Percussion only: surdo, caixa, ganza, tamborim and a two-tone agogo",
        drums=[
            drum(41, 110, "g... X... g.,. X..."),      # surdo
            drum(38, 85,  "xggx xggx xggx xgxx"),      # caixa
            drum(70, 80,  "gogx gogx gogx gogx"),      # ganza
            drum(76, 90,  "x.xx .x.x .xx. x.x."),      # tamborim (wood block)
            drum(67, 85,  "x.x. ..x. .x.. x..."),      # agogo high
            drum(68, 85,  "...x x... x.x. ..x."),      # agogo low
        ],
        bass=no_bass(33),
    ),
    dict(
        name="Slip Jig",
        three_four=True, ternary=True, tempo=112,
        about="9/8 folk lilt: frame-drum toms, tambourine and triangle, no bass",
        drums=[
            drum(35, 90,  "X.. ... x.."),              # kick
            drum(45, 95,  "X,o x,o x,o"),              # low tom as frame drum
            drum(48, 70,  "... ... .,x"),              # high tom pickup
            drum(54, 80,  "x.o x,o x.o"),              # tambourine
            drum(81, 60,  "... x.. ..."),              # open triangle
            drum(69, 65,  "ogg ogg og,", on=False),    # cabasa, optional
        ],
        bass=no_bass(33),
    ),
    dict(
        name="Waltz",
        three_four=True, ternary=False, tempo=100,
        about="Oom-pah-pah in 3/4 with ride and side stick, acoustic bass in G with a pickup",
        drums=[
            drum(36, 95,  "X... .... ...."),           # kick on one
            drum(37, 80,  ".... x... x..,"),           # side stick on two and three
            drum(51, 75,  "x... x... x.o."),           # ride
            drum(44, 65,  ".... x... x..."),           # pedal hi-hat
            drum(55, 60,  "?... .... ...."),           # splash, sometimes
            drum(45, 70,  ".... .... ..,?"),           # low tom pickup, sometimes
        ],
        bass=bass(33, 100, "G1> . . . | . . . . | D2_ . B1_ ."),
    ),
]


# ---------------------------------------------------------------------------
# Building the cells
# ---------------------------------------------------------------------------

def clean(pattern):
    return pattern.replace(" ", "").replace("|", "")


def note_number(token):
    m = re.fullmatch(r"([A-G])([#b]?)(-?\d)", token)
    if not m:
        raise LoopError("bad note name %r" % token)
    pc = NOTE_CLASSES[m.group(1)] + {"": 0, "#": 1, "b": -1}[m.group(2)]
    return 12 * (int(m.group(3)) + 1) + pc


def build(loop):
    """Returns (buttons, codes, sounds/volumes, velocities) for one loop."""
    name = loop["name"]
    strokes = active_strokes(loop["three_four"], loop["ternary"])
    drums = loop["drums"]
    if len(drums) != DRUM_TRACKS:
        raise LoopError("%s: %d drum tracks, need %d" % (name, len(drums), DRUM_TRACKS))

    codes = [DISABLED] * CELLS
    velocities = [0] * CELLS
    pairs = []

    for t, track in enumerate(drums):
        symbols = clean(track["pattern"])
        if len(symbols) != len(strokes):
            raise LoopError("%s: drum track %d has %d symbols, the meter has %d strokes"
                            % (name, t + 1, len(symbols), len(strokes)))
        hit_velocities = []
        cells = {}
        for stroke, symbol in zip(strokes, symbols):
            if symbol not in DRUM_SYMBOLS:
                raise LoopError("%s: drum track %d: unknown symbol %r" % (name, t + 1, symbol))
            code, velocity = DRUM_SYMBOLS[symbol]
            cells[stroke] = (code, velocity)
            if velocity is not None:
                hit_velocities.append(velocity)
        rest_velocity = typical(hit_velocities)
        for stroke in range(1, STROKES + 1):
            c = STROKES * t + stroke - 1
            code, velocity = cells.get(stroke, (DISABLED, None))
            codes[c] = code
            velocities[c] = velocity if velocity is not None else rest_velocity
        pairs.append((track["sound"], track["volume"]))

    b = loop["bass"]
    tokens = [tok for tok in b["line"].split() if tok != "|"] if b["line"] else ["."] * len(strokes)
    if len(tokens) != len(strokes):
        raise LoopError("%s: bass line has %d tokens, the meter has %d strokes"
                        % (name, len(tokens), len(strokes)))
    cells = {}
    hit_velocities = []
    for stroke, token in zip(strokes, tokens):
        if token == ".":
            cells[stroke] = (BASS_REST, None)
            continue
        accent = token[-1] if token[-1] in ">_" else ""
        note = note_number(token[:-1] if accent else token)
        if not BASS_LOW <= note <= BASS_HIGH:
            raise LoopError("%s: bass note %s (%d) is outside %d..%d"
                            % (name, token, note, BASS_LOW, BASS_HIGH))
        velocity = BASS_VELOCITY[accent]
        cells[stroke] = (note, velocity)
        hit_velocities.append(velocity)
    rest_velocity = typical(hit_velocities)
    for stroke in range(1, STROKES + 1):
        c = STROKES * BASS_TRACK + stroke - 1
        code, velocity = cells.get(stroke, (DISABLED, None))
        codes[c] = code
        velocities[c] = velocity if velocity is not None else rest_velocity
    pairs.append((b["sound"], b["volume"]))

    buttons = [ON if track["on"] else OFF for track in drums]   # 0..5 DRUM 1..6
    buttons += [OFF] * 6                                         # 6..11 switches
    buttons += [PUSH, PUSH]                                      # 12, 13 push buttons
    buttons.append(ON if loop["three_four"] else OFF)            # 14 "3/4"
    buttons.append(ON if loop["ternary"] else OFF)               # 15 "ter"
    buttons.append(ON if b["on"] else OFF)                       # 16 "BASS"
    return buttons, codes, pairs, velocities


def typical(values):
    """The most common velocity of a track's notes (the loudest on a tie);
    used for its rests, so a note drawn in later sounds like its neighbours."""
    if not values:
        return DEFAULT_REST_VELOCITY
    return max(set(values), key=lambda v: (values.count(v), v))


def render(name, buttons, codes, pairs, tempo, velocities):
    lines = [name + HEADER_SUFFIX, str(VERSION)]
    lines += [str(v) for v in buttons]
    lines += [str(v) for v in codes]
    for sound, volume in pairs:
        lines += [str(sound), str(volume)]
    lines.append(str(tempo))
    lines += [str(v) for v in velocities]
    return "".join(line + "\n" for line in lines)


# ---------------------------------------------------------------------------
# Checking a written file, independently of how it was built
# ---------------------------------------------------------------------------

def check_name(name):
    if not re.fullmatch(r"[A-Za-z0-9 ]{1,32}", name):
        raise LoopError("%r: names are letters, digits and spaces, at most 32 characters" % name)
    if name != name.strip() or "  " in name:
        raise LoopError("%r: no leading, trailing or doubled spaces" % name)


def check_file(path, name, loop):
    with open(path, "rb") as f:
        data = f.read()
    where = "%s:" % path
    try:
        text = data.decode("ascii")
    except UnicodeDecodeError:
        raise LoopError(where + " not ASCII")
    if "\r" in text or not text.endswith("\n"):
        raise LoopError(where + " lines must end in a bare \\n")
    lines = text[:-1].split("\n")
    if len(lines) != LINES:
        raise LoopError(where + " %d lines, need %d" % (len(lines), LINES))
    for n, line in enumerate(lines, 1):
        if line != line.rstrip():
            raise LoopError(where + " line %d has trailing spaces" % n)
        if n > 1 and not re.fullmatch(r"0|[1-9]\d*", line):
            raise LoopError(where + " line %d is not a plain number: %r" % (n, line))
    if lines[0] != name + HEADER_SUFFIX or not lines[0].endswith(FILE_TAG):
        raise LoopError(where + " bad first line")
    values = [int(v) for v in lines[1:]]
    version, values = values[0], values[1:]
    buttons, values = values[:17], values[17:]
    codes, values = values[:CELLS], values[CELLS:]
    pairs, values = [tuple(values[2 * t:2 * t + 2]) for t in range(TRACKS)], values[2 * TRACKS:]
    tempo, velocities = values[0], values[1:]
    if version != VERSION:
        raise LoopError(where + " version %d" % version)
    if len(velocities) != CELLS:
        raise LoopError(where + " %d velocities" % len(velocities))

    for i in range(6):
        if buttons[i] not in (ON, OFF):
            raise LoopError(where + " DRUM %d button %d" % (i + 1, buttons[i]))
    if buttons[6:12] != [OFF] * 6 or buttons[12:14] != [PUSH, PUSH]:
        raise LoopError(where + " buttons 6..13 must be 1 x6 then 11 11")
    for i in (14, 15, 16):
        if buttons[i] not in (ON, OFF):
            raise LoopError(where + " button %d is %d" % (i, buttons[i]))
    three_four, ternary = buttons[14] == ON, buttons[15] == ON
    if (three_four, ternary) != (loop["three_four"], loop["ternary"]):
        raise LoopError(where + " meter buttons do not match the loop")
    playing = set(active_strokes(three_four, ternary))

    for c, code in enumerate(codes):
        track, stroke = divmod(c, STROKES)
        stroke += 1
        if stroke not in playing:
            if code != DISABLED:
                raise LoopError(where + " cell %d (track %d stroke %d) should be disabled"
                                % (c, track, stroke))
            continue
        if track < DRUM_TRACKS:
            if code not in (HIT, REST, RANDOM):
                raise LoopError(where + " drum cell %d has code %d" % (c, code))
        elif not (code == BASS_REST or BASS_LOW <= code <= BASS_HIGH):
            raise LoopError(where + " bass cell %d has code %d (notes %d..%d)"
                            % (c, code, BASS_LOW, BASS_HIGH))
    for t, (sound, volume) in enumerate(pairs):
        if t < DRUM_TRACKS and not 35 <= sound <= 81:
            raise LoopError(where + " drum track %d sound %d" % (t, sound))
        if t == BASS_TRACK and sound not in BASS_PROGRAMS:
            raise LoopError(where + " bass program %d is not a bass" % sound)
        if not 1 <= volume <= 127:
            raise LoopError(where + " track %d volume %d" % (t, volume))
    if not 10 <= tempo <= 240:
        raise LoopError(where + " tempo %d" % tempo)
    for c, v in enumerate(velocities):
        if not 0 <= v <= 127:
            raise LoopError(where + " velocity %d at cell %d" % (v, c))

    # A musical sanity check: every switched-on track has something to play.
    for t in range(DRUM_TRACKS):
        cells = codes[STROKES * t:STROKES * (t + 1)]
        if buttons[t] == ON and not any(code in (HIT, RANDOM) for code in cells):
            raise LoopError(where + " DRUM %d is on but empty" % (t + 1))
    bass_cells = codes[STROKES * BASS_TRACK:]
    if buttons[16] == ON and not any(BASS_LOW <= code <= BASS_HIGH for code in bass_cells):
        raise LoopError(where + " BASS is on but empty")
    return dict(tempo=tempo, program=pairs[BASS_TRACK][0], bass_on=buttons[16] == ON,
                bass_written=any(BASS_LOW <= code <= BASS_HIGH for code in bass_cells))


# ---------------------------------------------------------------------------

def main():
    os.makedirs(OUT, exist_ok=True)
    names = [loop["name"] for loop in LOOPS]
    for name in names:
        check_name(name)
    folded = [n.lower() for n in names]
    if len(set(folded)) != len(folded):
        raise LoopError("two loops share a name (ignoring case)")
    if len(LOOPS) < 12:
        raise LoopError("fewer than 12 loops")

    # Remove loop files left over from earlier runs under names no longer made.
    for entry in sorted(os.listdir(OUT)):
        path = os.path.join(OUT, entry)
        if entry.lower() in folded or not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            first = f.readline().rstrip(b"\r\n")
        if first.endswith(FILE_TAG.encode("ascii")):
            os.remove(path)
            print("removed stale loop %r" % entry)

    rows = []
    for loop in sorted(LOOPS, key=lambda l: l["name"].lower()):
        name = loop["name"]
        if not 10 <= loop["tempo"] <= 240:
            raise LoopError("%s: tempo %d" % (name, loop["tempo"]))
        buttons, codes, pairs, velocities = build(loop)
        path = os.path.join(OUT, name)
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write(render(name, buttons, codes, pairs, loop["tempo"], velocities))
        info = check_file(path, name, loop)
        if info["bass_written"]:
            bass_text = "%d %s%s" % (info["program"], BASS_PROGRAMS[info["program"]],
                                     "" if info["bass_on"] else " (off)")
        else:
            bass_text = "none"
        rows.append((name, meter_label(loop["three_four"], loop["ternary"]),
                     "%d" % info["tempo"], bass_text, loop["about"]))

    # Whole-set coverage, so edits cannot quietly lose variety.
    meters = {(l["three_four"], l["ternary"]) for l in LOOPS}
    if len(meters) != 4:
        raise LoopError("the set must cover 4/4, 3/4, ternary and 3/4 ternary")
    programs = {l["bass"]["sound"] for l in LOOPS if l["bass"]["line"]}
    if len(programs) < 4:
        raise LoopError("fewer than four bass programs")
    if not any(not l["bass"]["on"] for l in LOOPS):
        raise LoopError("no loop has the bass switched off")
    tempos = [l["tempo"] for l in LOOPS]
    if min(tempos) > 70 or max(tempos) < 170:
        raise LoopError("tempos should reach from about 70 down to 170 up")
    if not any("," in clean(t["pattern"]) or "?" in clean(t["pattern"])
               for l in LOOPS for t in l["drums"]):
        raise LoopError("no random hits anywhere")

    widths = [max(len(r[i]) for r in rows) for i in range(4)]
    for r in rows:
        print("  ".join(r[i].ljust(widths[i]) for i in range(4)) + "  " + r[4])
    print("%d loops written to %s" % (len(rows), OUT))


if __name__ == "__main__":
    try:
        main()
    except LoopError as e:
        sys.exit("make-factory-loops: error: %s" % e)
