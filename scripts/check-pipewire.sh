#!/usr/bin/env bash
# Zumbal on a private PipeWire (pipewire, wireplumber and pipewire-pulse with
# a null sink driving the graph), everything recorded by JACK clients of the
# graph (pw-jack) keyed to its frame count. On PipeWire's JACK: the start-up
# loop's kicks against their ideal frames (bench/jack_timing), midi_out and
# clock_out against theirs (bench/midi_timing). On its PulseAudio: a kick a
# beat, the daemons killed and started again while it plays, and the kicks
# after the return against the first stretch's grid (bench/recovery_grid.sh).
# Fails when a figure misses its target in every take. Installs the
# PipeWire packages it needs, without recommends: pipewire-alsa would
# conflict with the pulseaudio package the other checks use.
#
#   scripts/check-pipewire.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
# shellcheck source=scripts/private-sound.sh
source scripts/private-sound.sh

packages=(pipewire pipewire-pulse pipewire-jack wireplumber dbus-daemon pulseaudio-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

# Zumbal's own JACK client on PipeWire's JACK (pw-jack), on a private graph
# of its own: the start-up loop's kicks against their ideal frames, and
# midi_out and clock_out against theirs, both recorded by JACK clients of
# the graph keyed to its frame count.
work=$(mktemp -d)
trap 'kill -9 $(cat "$work/pids" 2>/dev/null) 2>/dev/null || true; rm -rf "$work"' EXIT
(
  private_sound_home "$work"
  start_session_bus "$work/pids"
  pipewire >/dev/null 2>&1 &
  echo $! >>"$work/pids"
  sleep 0.3
  wireplumber >/dev/null 2>&1 &
  echo $! >>"$work/pids"
  for _ in $(seq 50); do pw-jack jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
  export ZUMBAL_RUNNING_JACK=1
  echo "Zumbal's JACK client under pw-jack, recorded on the graph's frame count:"
  for _ in 1 2 3; do
    timeout 120 pw-jack "$build/bench/jack_timing" --rate 48000 --minutes 0.5 | tee "$work/audio"
    grep -q "yes$" "$work/audio" && break
  done
  # PipeWire's graph can skip a cycle on a loaded machine without calling
  # it an xrun, which moves the MIDI of that cycle: such a run is taken again.
  for _ in 1 2 3; do
    timeout 300 pw-jack "$build/bench/midi_timing" --rate 48000 --seconds 8 --drift-minutes 0 |
      tee "$work/midi"
    grep -E "^JACK " "$work/midi" | grep -q "NO$" || break
  done
  kill -9 $(cat "$work/pids") 2>/dev/null || true
)
# A take an xrun cut is taken again by the benches; what is left must meet
# the targets: the sound within half a synth block, MIDI on its frames.
grep -q "yes$" "$work/audio" || { echo "check-pipewire: the sound is off its frames on pw-jack" >&2; exit 1; }
if grep -E "^JACK " "$work/midi" | grep -q "NO$"; then
  echo "check-pipewire: MIDI off its frames on pw-jack" >&2
  exit 1
fi
grep -qE "^JACK .*yes$" "$work/midi" || { echo "check-pipewire: no MIDI recorded on pw-jack" >&2; exit 1; }

# The PulseAudio path: the daemons are killed under a playing kick and
# started again; the kicks after the return must sit on the first stretch's
# grid (within 2 ms: the PulseAudio stream's own timing reports are dated
# to a fraction of a millisecond). A take a loaded machine disturbed (an
# underrun at the return) is taken again, up to five times.
echo "PipeWire's PulseAudio server, restarted after 6 s, recorded on the graph's clock:"
for take in 1 2 3 4 5; do
  said=$(RECOVERY_GRID=$build/bench/recovery_grid timeout 120 bash bench/recovery_grid.sh pipewire)
  echo "$said"
  median=$(sed -n 's/^stretch 2: .* by \([-+0-9.]*\) ms median.*/\1/p' <<<"$said")
  [[ -n $median ]] && awk -v m="$median" 'BEGIN { exit !(m <= 2 && m >= -2) }' && exit 0
  echo "take $take: the return is off the grid or missing${median:+ ($median ms)}; taking it again"
done
echo "check-pipewire: the sound came back off its grid after the restart" >&2
exit 1
