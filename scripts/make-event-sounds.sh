#!/usr/bin/env bash
# Synthesises the seven event sounds into assets/sounds with sox.
# Rerun it after changing a recipe and commit the WAV files: the build only
# compiles the WAVs in and never needs sox. Needs: apt-get install -y sox
#
# Every file is 44100 Hz, 16-bit mono, peak-normalised below full scale so
# that several sounds mixed over the drums do not clip. sox runs with -R
# (fixed random seed for the noise and the dither), so a rerun rewrites
# byte-identical files and git sees no change.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$root/assets/sounds"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

command -v sox >/dev/null || { echo "sox is missing: apt-get install -y sox" >&2; exit 1; }

fmt=(-R -r 44100 -b 16 -c 1)

# A tiny button click: a 30 ms burst of high sine and bright noise that dies
# away at once, so it reads as a tick rather than a tone.
sox "${fmt[@]}" -n "$tmp/click-tone.wav" synth 0.03 sine 2400 fade l 0 0.03 0.029
sox "${fmt[@]}" -n "$tmp/click-noise.wav" synth 0.03 whitenoise gain -6 highpass 3000 fade l 0 0.03 0.027
sox "${fmt[@]}" -m "$tmp/click-tone.wav" "$tmp/click-noise.wav" "$out/ambientclick.wav" \
    norm -9

# "List cleared": one soft, low triangle blip sliding down a fourth.
sox "${fmt[@]}" -n "$out/ButtonC.wav" synth 0.12 triangle 660:495 lowpass 2000 \
    fade q 0.005 0.12 0.08 norm -12

# Playback start/stop: a small bell on C6. The partial at 2.76 times the
# fundamental is what makes a struck bar sound like metal instead of a beep.
sox "${fmt[@]}" -n "$tmp/bell-1.wav" synth 0.5 sine 1046.5 fade l 0.002 0.5 0.49
sox "${fmt[@]}" -n "$tmp/bell-2.wav" synth 0.5 sine 2888.3 fade l 0.002 0.5 0.45 vol 0.35
sox "${fmt[@]}" -m "$tmp/bell-1.wav" "$tmp/bell-2.wav" "$out/Loaded1.wav" norm -7

# Start-up and export started: a bright rising fifth, E5 then B5, each note a
# sine with its octave so it rings clearly above the drums.
sox "${fmt[@]}" -n "$tmp/rise-1.wav" synth 0.14 sine 659.25 synth 0.14 sine mix 1318.5 \
    fade q 0.004 0.14 0.05
sox "${fmt[@]}" -n "$tmp/rise-2.wav" synth 0.3 sine 987.77 synth 0.3 sine mix 1975.5 \
    fade q 0.004 0.3 0.24
sox "${fmt[@]}" "$tmp/rise-1.wav" "$tmp/rise-2.wav" "$out/Loaded2.wav" norm -7

# A window opening: brown noise ring-modulated by a sine sweeping up, which
# moves a band of air from low to high, under a swell that rises and falls.
sox "${fmt[@]}" -n "$out/openWind.wav" synth 0.42 brownnoise synth 0.42 sine amod 250:2500 gain -6 \
    highpass 150 lowpass 5000 fade h 0.25 0.42 0.17 norm -8

# New loop / power down: a triangle gliding down three octaves, darkened and
# fading as it falls, like a machine winding down.
sox "${fmt[@]}" -n "$out/powerdow.wav" synth 0.55 triangle 880:110 lowpass 3000 \
    fade t 0.005 0.55 0.35 norm -8

# FastSwitch toggle and list selection: two short beeps on one pitch.
sox "${fmt[@]}" -n "$tmp/beep.wav" synth 0.06 sine 1318.5 fade q 0.004 0.06 0.02
sox "${fmt[@]}" -n "$tmp/gap.wav" trim 0 0.045
sox "${fmt[@]}" "$tmp/beep.wav" "$tmp/gap.wav" "$tmp/beep.wav" "$out/PublicD.wav" norm -9

for f in ambientclick ButtonC Loaded1 Loaded2 openWind powerdow PublicD; do
    printf '%-13s %6.3f s  %6d bytes\n' "$f" "$(soxi -D "$out/$f.wav")" \
        "$(stat -c %s "$out/$f.wav")"
done
