#!/usr/bin/env bash
# Does the beat stay on its grid through an underrun? Plays the start-up loop
# live through a private PulseAudio null sink under Xvfb, freezes the whole
# program (SIGSTOP) twice while it plays, so that the sound server runs dry,
# records the output and measures every onset against the grid laid through
# the onsets before the first freeze. The recording runs on the sound
# server's clock, so a beat that merely went on where it stopped would show
# up after a freeze as a shift by the length of the freeze.
# Prints figures only. Needs the --dev packages of scripts/install-deps.sh.
#
#   bench/underrun_grid.sh [FREEZE_MS...]      (default 250 600)
set -euo pipefail
cd "$(dirname "$0")/.."
freezes=("$@")
((${#freezes[@]})) || freezes=(250 600)

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; pulseaudio --kill 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME/.config/Zumbal"
# Event sounds off, so that only the loop is recorded.
echo 0 >"$HOME/.config/Zumbal/zumbal preferences"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")
pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1
pactl load-module module-null-sink sink_name=rec >/dev/null
pactl set-default-sink rec
parec -d rec.monitor --file-format=wav "$work/rec.wav" &
recorder=$!
sleep 0.5
./build/zumbal --audio pulseaudio 2>"$work/zumbal.log" &
program=$!
sleep 5
marks=()
for ms in "${freezes[@]}"; do
  kill -STOP "$program"
  sleep "$(awk -v ms="$ms" 'BEGIN { print ms / 1000 }')"
  kill -CONT "$program"
  marks+=("$ms")
  sleep 4
done
kill "$program"
wait "$program" 2>/dev/null || true
sleep 0.3
kill "$recorder"
wait "$recorder" 2>/dev/null || true

/usr/bin/python3 - "$work/rec.wav" "${marks[@]}" <<'PY'
import sys
sys.path.insert(0, "scripts")
from onsets import onsets, read_mono

rate, signal = read_mono(sys.argv[1])
freezes = [float(ms) for ms in sys.argv[2:]]
found = onsets(signal)
beat = rate * 0.5  # 120 BPM: the start-up loop sounds on every beat
# Dropouts: runs of digital silence of 50 ms or more that end in sound.
gaps, run = [], 0
for i, x in enumerate(signal):
    if x == 0.0:
        run += 1
    else:
        if run >= rate // 20 and i - run > 0:
            gaps.append((i - run, run))
        run = 0
gaps = [g for g in gaps if g[0] > found[0]]
print("Start-up loop at 120 BPM through PulseAudio, frozen %s ms" % " and ".join(sys.argv[2:]))
print("onsets: %d, silences of 50 ms or more after the first onset: %s" % (
    len(found), ", ".join("%.2f s (%.0f ms)" % (s / rate, n * 1000.0 / rate) for s, n in gaps) or "none"))
# The grid through the onsets before the first silence: each onset belongs
# to the nearest beat of it, odd beats to the kick and even ones to the snare,
# whose attacks differ; distances are measured from that instrument's place.
first_gap = gaps[0][0] if gaps else len(signal)
origin = found[0]
slot = lambda t: round((t - origin) / beat)
before = {0: [], 1: []}
for t in found:
    if t < first_gap:
        before[slot(t) % 2].append(t - origin - slot(t) * beat)
place = {p: sum(v) / len(v) for p, v in before.items() if v}
print("%-32s %8s %12s %12s" % ("part", "onsets", "max |ms|", "mean ms"))
edges = [0] + [g[0] for g in gaps] + [len(signal)]
for part in range(len(edges) - 1):
    for parity, kind in ((0, "kick"), (1, "snare")):
        r = [1000.0 * (t - origin - slot(t) * beat - place[parity]) / rate for t in found
             if edges[part] <= t < edges[part + 1] and slot(t) % 2 == parity]
        label = "%s, %s" % (kind, "before the freezes" if part == 0 else "after freeze %d" % part)
        if r:
            print("%-32s %8d %12.3f %12.3f" % (label, len(r), max(abs(v) for v in r), sum(r) / len(r)))
PY
