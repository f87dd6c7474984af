#!/usr/bin/python3
"""Helper of bench/live_gaps.sh: writes the organ presets it plays, drives the
scripted session against the window, finds the dropouts in a recording and
prints the table. Run with /usr/bin/python3 (numpy from Debian).

    live_gaps.py loops DIR                        writes the presets, prints the first
    live_gaps.py first-preset WINDOW_ID           chooses the first from the presets menu
    live_gaps.py session WINDOW_ID SECONDS [--seed N]
    live_gaps.py gaps REC.wav                     key=value figures; the gaps on stderr
    live_gaps.py stats ZUMBAL_STDERR              the counters of the --stats line
    live_gaps.py table RESULTS                    the table of the rows in RESULTS

A drum loop decays to true silence between strokes, so silence alone says
nothing. Every preset written here therefore holds a sustained organ on every
stroke of its bass track: the sound never stops while the loop plays, and any
stretch of digital silence in the recording is a dropout.
"""

import os
import random
import re
import subprocess
import sys
import time
import wave

import numpy as np

# ---------------------------------------------------------------------------
# The presets
# ---------------------------------------------------------------------------

HEADER_SUFFIX = " drum loop created by Zumbal (Zumbal loop text file format)"
VERSION = 130
STROKES, DRUM_TRACKS = 16, 6
HIT, REST = 0, 1
ON, OFF, PUSH = 101, 1, 11

# Names sort in this order in the presets menu, so FastSwitch (which starts on
# the first one) and the digit keys land on an organ preset like every other
# switch. All are plain 4/4: loading one gives every stroke back to the bass,
# whatever 3/4 and ter did to the grid before. The first, at 120 BPM (2 s a
# pass), is also what the control row's player plays.
PRESETS = [
    # name, tempo, organ program (17-20), bass notes (one per stroke), drums
    ("Organ 1 Pulse", 120, 20, "C3 G2 C3 G2 C3 G2 C3 G2 F2 C3 F2 C3 G2 D3 G2 D3",
     {36: "x... .... x... ....", 38: ".... x... .... x...", 42: "x.x. x.x. x.x. x.x."}),
    ("Organ 2 Drive", 132, 17, "A2 E3 A2 E3 A2 E3 A2 E3 D3 A2 D3 A2 E3 B2 E3 B2",
     {36: "x..x ..x. x..x ..x.", 38: ".... x... .... x..x", 46: "..x. ..x. ..x. ..x."}),
    ("Organ 3 Slow", 92, 19, "D3 D3 A2 A2 D3 D3 A2 A2 G2 G2 D3 D3 A2 A2 E3 E3",
     {35: "x... ..x. x... ....", 37: ".... x... .... x...", 51: "x.x. x.x. x.x. x.x."}),
    ("Organ 4 Push", 108, 18, "E2 B2 E3 B2 E2 B2 E3 B2 A2 E3 A2 E3 B2 F#3 B2 F#3",
     {36: "x... x... x... x...", 39: ".... x... .... x...", 42: ".x.x .x.x .x.x .x.x"}),
    ("Organ 5 Lift", 140, 20, "F2 C3 F2 C3 F2 C3 F2 C3 Bb2 F2 Bb2 F2 C3 G2 C3 G2",
     {36: "x..x x... x..x x...", 40: ".... x... .... x...", 54: "xxxx xxxx xxxx xxxx"}),
]

NOTE_CLASSES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note_number(name):
    m = re.fullmatch(r"([A-G])([#b]?)(\d)", name)
    return 12 * (int(m.group(3)) + 1) + NOTE_CLASSES[m.group(1)] + {"": 0, "#": 1, "b": -1}[m.group(2)]


def loop_text(name, tempo, organ, bass, drums):
    """The 258 lines of one loop file: six drum tracks (unused ones muted)
    and the organ bass, every stroke at velocity 100."""
    sounds = list(drums) + [0] * (DRUM_TRACKS - len(drums))
    buttons = [ON if s else OFF for s in sounds] + [OFF] * 6 + [PUSH, PUSH, OFF, OFF, ON]
    codes, velocities = [], []
    for sound in sounds:
        pattern = drums[sound].replace(" ", "") if sound else "." * STROKES
        codes += [HIT if ch == "x" else REST for ch in pattern]
        velocities += [100] * STROKES
    notes = [note_number(n) for n in bass.split()]
    assert len(notes) == STROKES and all(len(p.replace(" ", "")) == STROKES for p in drums.values())
    codes += notes
    velocities += [100] * STROKES
    pairs = [(s or 42, 100) for s in sounds] + [(organ, 100)]
    lines = [name + HEADER_SUFFIX, str(VERSION)] + [str(b) for b in buttons] + [str(c) for c in codes]
    for sound, volume in pairs:
        lines += [str(sound), str(volume)]
    lines.append(str(tempo))
    lines += [str(v) for v in velocities]
    assert len(lines) == 258
    return "".join(line + "\n" for line in lines)


def write_loops(folder):
    os.makedirs(folder, exist_ok=True)
    for preset in PRESETS:
        with open(os.path.join(folder, preset[0]), "w", newline="\n") as f:
            f.write(loop_text(*preset))
    print(os.path.join(folder, PRESETS[0][0]))


# ---------------------------------------------------------------------------
# The scripted session
# ---------------------------------------------------------------------------

# Client-area coordinates of the main window's controls (src/editor: the grid
# canvas sits at 168,7; the lower strip at y 302..346; the track fields at x 764).
GRID_X, GRID_Y = 168, 7
THREE_FOUR = (431, 326)
TERNARY = (475, 326)
SLIDER_X, SLIDER_Y, SLIDER_W = 170, 334, 230
TEMPO_MIN, TEMPO_MAX = 10, 240
PRESETS_MENU = (627, 335)
# An empty spot left of the grid and below the track switches: moving the
# pointer here closes the Drums and Volume windows (they hide when the
# pointer leaves them) and clicks nothing.
PARK = (155, 300)
CLIENT_HEIGHT = 443

ACTIONS_PER_SECOND = 4
EDIT_RUN, FASTSWITCH_RUN = (14, 26), (8, 14)


def cell_centre(row, column):
    """Centre of a drum cell (rows 0..5, columns 0..15): groups of four
    columns 34 px apart, 10 px between groups, rows 40 px apart."""
    group, inner = divmod(column, 4)
    return GRID_X + 146 * group + 34 * inner + 17, GRID_Y + 40 * row + 16


def slider_x(tempo):
    # The handle's centre runs over the groove less half a handle at each end.
    handle = 12
    span = SLIDER_W - handle
    return SLIDER_X + handle // 2 + round(span * (tempo - TEMPO_MIN) / (TEMPO_MAX - TEMPO_MIN))


def client_origin(window):
    """Screen position of the client area: the window's true position from
    xwininfo, below the menu bar (the window is the menu bar plus the client)."""
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                          check=True).stdout
    field = lambda key: int(re.search(key + r":\s+(-?\d+)", info).group(1))
    x, y, height = field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Height")
    return x, y + height - CLIENT_HEIGHT


class Session:
    """Plays about four actions a second against the window, in runs of
    editing (grid, tempo, 3/4, ter, presets menu, track fields) and of
    FastSwitch keys, and leaves FastSwitch again at the end."""

    def __init__(self, window, seed):
        self.ox, self.oy = client_origin(window)
        self.rng = random.Random(seed)
        self.three_four = False   # 3/4 is only switched on here; a preset load switches it off
        self.fastswitch = False
        self.counts = {}

    def xdo(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def at(self, point):
        return self.ox + point[0], self.oy + point[1]

    def count(self, name):
        self.counts[name] = self.counts.get(name, 0) + 1

    # -- editing ---------------------------------------------------------
    def click_cell(self):
        x, y = self.at(cell_centre(self.rng.randrange(DRUM_TRACKS), self.rng.randrange(STROKES)))
        self.xdo("mousemove", x, y, "click", 1)
        self.count("cell")

    def drag_tempo(self):
        # The middle button puts the handle under the pointer, so the drag
        # needs no knowledge of where the handle was.
        a, b = self.rng.randint(70, 190), self.rng.randint(70, 190)
        y = self.oy + SLIDER_Y
        steps = ["mousemove", self.ox + slider_x(a), y, "mousedown", 2]
        for k in range(1, 5):
            steps += ["sleep", 0.02, "mousemove", self.ox + slider_x(a + (b - a) * k // 4), y]
        self.xdo(*steps, "mouseup", 2)
        self.count("tempo")

    def click_meter(self):
        # 3/4 going off would turn strokes 13-16 into rests and silence the
        # organ for a stroke or two, so it is only ever switched on; the next
        # preset load switches it off. ter is safe both ways: a rest at every
        # fourth stroke is still covered by the note before it.
        if not self.three_four and self.rng.random() < 0.4:
            self.xdo("mousemove", *self.at(THREE_FOUR), "click", 1)
            self.three_four = True
            self.count("3/4")
        else:
            self.xdo("mousemove", *self.at(TERNARY), "click", 1)
            self.count("ter")

    def choose_preset(self):
        # The menu opens on its first row; Down skips the disabled "-" row.
        k = self.rng.randrange(len(PRESETS))
        self.xdo("mousemove", *self.at(PRESETS_MENU), "click", 1, "sleep", 0.1,
                 "key", *(["Down"] * (k + 1)), "Return")
        self.three_four = False
        self.count("preset")

    def type_field(self):
        # A drum track's sound (a kit drum) or volume field. The click opens
        # the Drums or Volume window over the field; leaving it closes it and
        # the field keeps the keyboard.
        t = self.rng.randrange(DRUM_TRACKS)
        if self.rng.random() < 0.5:
            field, text = (776, 15 + 40 * t), str(self.rng.choice([35, 36, 38, 40, 42, 46, 51, 54]))
        else:
            field, text = (776, 32 + 40 * t), str(self.rng.randint(60, 127))
        self.xdo("mousemove", *self.at(field), "click", 1, "sleep", 0.05,
                 "mousemove", *self.at(PARK), "sleep", 0.03, "key", "ctrl+a", *text)
        self.count("field")

    EDITS = [(click_cell, 40), (drag_tempo, 15), (click_meter, 12), (choose_preset, 15),
             (type_field, 18)]

    def edit(self):
        actions, weights = zip(*self.EDITS)
        self.rng.choices(actions, weights)[0](self)

    # -- FastSwitch ------------------------------------------------------
    def toggle_fastswitch(self):
        self.xdo("key", "ctrl+m")
        self.fastswitch = not self.fastswitch
        self.three_four = False
        self.count("fastswitch")

    def fastswitch_key(self):
        r = self.rng.random()
        if r < 0.35:
            key = self.rng.choice(["Left", "Right", "Up", "Down"] + list("0123456789"))
            self.count("fs preset")
        elif r < 0.85:
            key = self.rng.choice("sedrfgyhujik")
            self.count("fs key")
        else:
            key = self.rng.choice("qa")
            self.count("fs semitone")
        self.xdo("key", key)

    # -- the run ---------------------------------------------------------
    def plan(self):
        """The actions, one per slot: runs of edits, each followed by a
        FastSwitch run (entered and left with Ctrl+M)."""
        while True:
            for _ in range(self.rng.randint(*EDIT_RUN)):
                yield self.edit
            yield self.toggle_fastswitch
            for _ in range(self.rng.randint(*FASTSWITCH_RUN)):
                yield self.fastswitch_key
            yield self.toggle_fastswitch

    def run(self, seconds):
        start = time.monotonic()
        slot = 1.0 / ACTIONS_PER_SECOND
        n = 0
        for action in self.plan():
            due = start + n * slot
            if due - start >= seconds:
                break
            time.sleep(max(0.0, due - time.monotonic()))
            action()
            n += 1
        if self.fastswitch:
            self.toggle_fastswitch()
        self.xdo("mousemove", *self.at(PARK))
        elapsed = time.monotonic() - start
        summary = ", ".join("%s %d" % kv for kv in sorted(self.counts.items()))
        print("actions=%d rate=%.2f/s (%s)" % (n, n / elapsed, summary), file=sys.stderr)


def run_session(args):
    window, seconds = args[0], float(args[1])
    seed = int(args[args.index("--seed") + 1]) if "--seed" in args else 1
    Session(window, seed).run(seconds)


def choose_first_preset(args):
    """Loads the first preset from the menu: the start-up loop has no bass."""
    s = Session(args[0], 1)
    s.xdo("mousemove", *s.at(PRESETS_MENU), "click", 1, "sleep", 0.3, "key", "Down", "Return",
          "sleep", 0.1, "mousemove", *s.at(PARK))


# ---------------------------------------------------------------------------
# The analysis
# ---------------------------------------------------------------------------

SILENCE = 1e-4        # below this on both channels a sample counts as silent
MIN_GAP_MS = 0.5      # shorter silent runs are zero crossings, not gaps
CUT_LEVEL = 1e-3      # a dropout cuts the sound off: the millisecond before it is louder
AUDIBLE = 1e-3        # where the recording has sound at all
EDGE_S = 1.0          # skipped at both ends of the playing part


def read_wav(path):
    with wave.open(path) as w:
        rate, channels, width, n = w.getframerate(), w.getnchannels(), w.getsampwidth(), w.getnframes()
        data = w.readframes(n)
    assert width == 2, "16-bit WAV expected"
    # parec leaves the data size at its placeholder when it is stopped; the
    # samples themselves are all there.
    samples = np.frombuffer(data[: len(data) // (2 * channels) * 2 * channels], dtype="<i2")
    return rate, samples.reshape(-1, channels).astype(np.float32) / 32768.0


def runs(mask):
    """Start and length of each run of True in a boolean array."""
    edges = np.diff(np.concatenate(([0], mask.view(np.int8), [0])))
    starts = np.flatnonzero(edges == 1)
    return starts, np.flatnonzero(edges == -1) - starts


def find_gaps(rate, signal):
    """The playing part (first to last audible sample, less a second at each
    end), its silent runs of at least MIN_GAP_MS that cut the sound off, and
    those that follow a fade instead (the music itself going quiet, which the
    presets never do: a sign that the session silenced the organ)."""
    level = np.abs(signal).max(axis=1)
    audible = np.flatnonzero(level > AUDIBLE)
    if audible.size == 0:
        return 0.0, [], []
    first, last = audible[0] + int(EDGE_S * rate), audible[-1] - int(EDGE_S * rate)
    if last <= first:
        return 0.0, [], []
    starts, lengths = runs(level[first:last] < SILENCE)
    starts += first
    keep = lengths >= MIN_GAP_MS * rate / 1000.0
    before = max(1, rate // 1000)
    gaps, fades = [], []
    for s, n in zip(starts[keep], lengths[keep]):
        cut = level[max(0, s - before):s].max(initial=0.0) >= CUT_LEVEL
        (gaps if cut else fades).append((s / rate, n / rate))
    return (last - first) / rate, gaps, fades


def gaps_command(args):
    rate, signal = read_wav(args[0])
    seconds, gaps, fades = find_gaps(rate, signal)
    longest = max((g[1] for g in gaps), default=0.0)
    print("seconds=%.1f gaps=%d longest_ms=%.1f fades=%d" % (seconds, len(gaps), 1000.0 * longest,
                                                            len(fades)))
    # Where they are, for the idle table and a look at the recording.
    for kind, found in (("gap", gaps), ("fade", fades)):
        for at, length in found:
            print("%s %.3f %.2f" % (kind, at, 1000.0 * length), file=sys.stderr)


STATS = re.compile(r"zumbal: audio stats: .*")


def stats_command(args):
    """The counters from the program's --stats line, when it printed one."""
    try:
        text = open(args[0], errors="replace").read()
    except OSError:
        text = ""
    line = STATS.findall(text)
    if not line:
        print("underruns=- late=-")
        return
    number = lambda key: (re.search(key + r" (\d+)", line[-1]) or [None, "-"])[1]
    print("underruns=%s late=%s" % (number("underruns"), number("late renders")))


# ---------------------------------------------------------------------------
# The table
# ---------------------------------------------------------------------------

COLUMNS = [("row", "row", "%-8s"), ("period", "period", "%6s"), ("seconds", "seconds", "%7s"),
           ("gaps", "gaps", "%5s"), ("gaps/min", "per_min", "%8s"),
           ("longest gap ms", "longest_ms", "%14s"), ("underruns", "underruns", "%9s"),
           ("late renders", "late", "%12s"), ("process CPU %", "cpu", "%13s"),
           ("server CPU %", "server_cpu", "%12s")]


IDLE_LISTED = 12       # gaps listed per idle row


def read_gap_list(path):
    found = {"gap": [], "fade": []}
    try:
        for line in open(path):
            kind, at, ms = line.split()
            found[kind].append((float(at), float(ms)))
    except (OSError, ValueError, KeyError):
        pass
    return found


def table_command(args):
    """One line per row, then the gaps of the idle rows one by one: with
    nobody at the window, these are the program's and the machine's alone."""
    rows = []
    for line in open(args[0]):
        fields = dict(kv.split("=", 1) for kv in line.split())
        try:
            seconds, gaps = float(fields["seconds"]), int(fields["gaps"])
            fields["per_min"] = "%.1f" % (60.0 * gaps / seconds) if seconds > 0 else "-"
        except (KeyError, ValueError):
            fields["per_min"] = "-"
        rows.append(fields)
    print("  ".join(fmt % title for title, _, fmt in COLUMNS))
    for fields in rows:
        print("  ".join(fmt % fields.get(key, "-") for _, key, fmt in COLUMNS))

    faded = [f for f in rows if f.get("fades", "0") not in ("0", "-")]
    for fields in faded:
        print("note: %s at %s: %s silent stretches after a fade, not counted as gaps"
              % (fields["row"], fields["period"], fields["fades"]))

    idle = [f for f in rows if f.get("row") == "idle"]
    if not idle:
        return
    print()
    print("Gaps with nobody at the window (seconds into the recording, length)")
    print("period  gaps  at s / ms")
    for fields in idle:
        gaps = read_gap_list(os.path.join(os.path.dirname(args[0]), fields.get("list", "")))["gap"]
        listed = "  ".join("%.2f/%.1f" % g for g in gaps[:IDLE_LISTED])
        more = " ..." if len(gaps) > IDLE_LISTED else ""
        print("%6s  %4d  %s%s" % (fields["period"], len(gaps), listed or "-", more))


COMMANDS = {"loops": lambda a: write_loops(a[0]), "session": run_session,
            "first-preset": choose_first_preset, "gaps": gaps_command,
            "stats": stats_command, "table": table_command}

if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in COMMANDS:
        sys.exit(__doc__)
    COMMANDS[sys.argv[1]](sys.argv[2:])
