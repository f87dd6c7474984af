#!/usr/bin/env bash
# Exports every factory loop with `zumbal export-midi` at 1, 4 and 110 passes,
# straight and with a hard swing (a copy with a groove: 75 %, 4 ms, 10), and
# copies of a 4/4 loop, a swung one and a ternary one whose steps vary (every
# ratchet, nudges from -12 to 12, every condition, chances) at two seeds, and
# has four MIDI readers that share no code with ours open each file:
# mido (3 tracks, drums on channel 9 and bass on channel 8, counted from 0),
# midicsv, TiMidity++ and FluidSynth. A song of factory loops of different
# tempos and meters, in bass keys, with a missing preset, is exported and
# read the same way. One line per file, then a summary;
# exits non-zero when any file fails. ZUMBAL_BUILD_DIR picks another build
# folder than build/.
set -uo pipefail
cd "$(dirname "$0")/.."

packages=(python3-mido midicsv timidity fluidsynth)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [[ ${#missing[@]} -gt 0 ]]; then
  sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=300 update -qq || exit 1
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}" || exit 1
fi

build=${ZUMBAL_BUILD_DIR:-build}
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$build" --target zumbal >/dev/null || exit 1

soundfont=${ZUMBAL_SOUNDFONT:-}
if [[ -z "$soundfont" ]]; then
  for f in /usr/share/sounds/sf2/FluidR3_GM.sf2 /usr/share/sounds/sf2/TimGM6mb.sf2; do
    [[ -f "$f" ]] && { soundfont=$f; break; }
  done
fi
if [[ -z "$soundfont" ]]; then
  echo "no General MIDI SoundFont for fluidsynth: install fluid-soundfont-gm" >&2
  exit 1
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Debian's mido is a package of /usr/bin/python3, not of the python3 on PATH.
mido_check='
import sys, mido
m = mido.MidiFile(sys.argv[1])
channels = [sorted({msg.channel for msg in t if hasattr(msg, "channel")}) for t in m.tracks]
if m.type != 1 or len(m.tracks) != 3 or channels != [[], [9], [8]]:
    sys.exit("type %d, %d tracks, channels by track %s" % (m.type, len(m.tracks), channels))
'

# TiMidity++ plays what it can of a truncated or foreign file and still exits
# 0, and FluidSynth does the same with a truncated one: what they print counts too.
# Usage: reader NAME COMPLAINT-PATTERN COMMAND...; adds to `problems`.
reader() {
  local name=$1 complaint=$2 output status
  shift 2
  # A reader lost in a broken file may print without end: keep the first 16 MB.
  output=$(
    timeout 600 "$@" 2>&1 | head -c 16000000
    exit "${PIPESTATUS[0]}"
  )
  status=$?
  if [[ $status -ne 0 ]]; then
    problems+=("$name exit $status")
  elif grep -qiE "$complaint" <<<"$output"; then
    problems+=("$name: $(grep -iE "$complaint" <<<"$output" | head -1)")
  fi
}

# The swung copies: version 140 and the three groove lines.
mkdir -p "$out/swung"
for loop in assets/loops/*; do
  { sed '2s/.*/140/' "$loop"; printf '75\n4\n10\n'; } >"$out/swung/$(basename "$loop") swung"
done

# The varying copies: version 150, a groove, then a line per cell of each of
# the chance, the condition, the ratchet and the nudge.
conditions=(0 1 2 3 4 21 42 88)
mkdir -p "$out/varying"
for copy in "Funk Ghosts:50" "Funk Ghosts:75" "Afro Six Eight:50"; do
  loop=${copy%:*} swing=${copy#*:}
  {
    sed '2s/.*/150/' "assets/loops/$loop"
    printf '%s\n' "$swing" 0 0
    for c in $(seq 0 111); do echo $((c % 3 == 0 ? 50 : 100)); done
    for c in $(seq 0 111); do echo "${conditions[c % 8]}"; done
    for c in $(seq 0 111); do echo $((1 + c % 4)); done
    for c in $(seq 0 111); do echo $((c * 5 % 25 - 12)); done
  } >"$out/varying/$loop $swing varying"
done

# A song of the factory loops: 4/4, 3/4, ternary 6/8, 3/4 ternary, with bass
# keys, a swung loop and a missing preset between them.
mkdir -p "$out/songs"
printf '%s\n' 'Reader check song created by Zumbal (Zumbal song file format)' 100 \
  $'2\t-\tFunk Ghosts' $'1\tE\tWaltz' $'3\t-\tnot there' $'2\tA\tAfro Six Eight' \
  $'1\tC\tSlip Jig' $'4\tF#\tFunk Ghosts swung' $'1\t-\tBossa Nova' >"$out/songs/check"

passed=0
failed=0
# Usage: check NAME R FILE EXPORT-ARGUMENTS...
check() {
  local name=$1 r=$2 file=$3 err
  shift 3
  problems=()
  if ! err=$("$build/zumbal" export-midi "$@" -o "$file" 2>&1); then
    problems+=("export: $err")
  else
    err=$(/usr/bin/python3 -c "$mido_check" "$file" 2>&1) || problems+=("mido: ${err##*$'\n'}")
    reader midicsv 'error' midicsv "$file" /dev/null
    reader timidity 'warning|error|not a midi file' timidity -Ow -o /dev/null "$file"
    reader fluidsynth 'warning|error' fluidsynth -ni -F /dev/null "$soundfont" "$file"
  fi
  if [[ ${#problems[@]} -eq 0 ]]; then
    passed=$((passed + 1))
    printf 'ok    %-26s R=%-3s %6d bytes\n' "$name" "$r" "$(stat -c %s "$file")"
  else
    failed=$((failed + 1))
    printf 'FAIL  %-26s R=%-3s %s\n' "$name" "$r" "$(IFS=';'; echo "${problems[*]}")"
  fi
}
for loop in assets/loops/* "$out"/swung/*; do
  name=$(basename "$loop")
  for r in 1 4 110; do
    check "$name" "$r" "$out/$name $r.mid" "$loop" -r "$r"
  done
done
for loop in "$out"/varying/*; do
  name=$(basename "$loop")
  for seed in 1 2; do
    for r in 4 110; do
      check "$name seed $seed" "$r" "$out/$name $seed $r.mid" "$loop" -r "$r" --seed "$seed"
    done
  done
done
# The song's presets are the factory loops and the swung copies, in one folder.
mkdir -p "$out/loops"
cp assets/loops/* "$out"/swung/* "$out/loops/"
check "song: check" song "$out/check.mid" "$out/songs/check" --loops "$out/loops"
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
