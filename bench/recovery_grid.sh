#!/usr/bin/env bash
# Does the beat come back on its grid after the sound server is restarted
# while the loop plays? Starts a private sound server with a null sink at
# 48 kHz, runs build/bench/recovery_grid (a kick on every beat, recorded from
# the server's monitor), kills the server after 6 s, starts it again and
# prints how far the kicks of each stretch sit from the first stretch's grid.
# On PipeWire the recorder is a JACK client of the graph (through pw-jack)
# unless RECORDER is "pulse"; $RECOVERY_GRID names another build's bench
# program, to compare two builds take by take. Prints figures only. Needs
# the --dev packages of scripts/install-deps.sh; "pipewire" needs pipewire, wireplumber,
# pipewire-pulse and pipewire-jack besides.
#
#   bench/recovery_grid.sh [pulseaudio|pipewire] [LATENCY_MS] [RECORDER]
set -euo pipefail
cd "$(dirname "$0")/.."
server=${1:-pulseaudio}
latency=${2:-0}
# shellcheck source=scripts/private-sound.sh
source scripts/private-sound.sh
recorder=${3:-$([[ $server == pipewire ]] && echo jack || echo pulse)}

work=$(mktemp -d)
pids=()
stop_server() {
  ((${#pids[@]})) && kill -9 "${pids[@]}" 2>/dev/null || true
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  pids=()
}
trap 'stop_server; kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
private_sound_home "$work"
[[ $server == pipewire ]] && start_session_bus "$work/bus.pid"

start_server() {
  if [[ $server == pipewire ]]; then
    pipewire >/dev/null 2>&1 &
    pids+=($!)
    sleep 0.3
    wireplumber >/dev/null 2>&1 &
    pids+=($!)
    pipewire-pulse >/dev/null 2>&1 &
    pids+=($!)
  else
    pulseaudio -n --daemonize=no --exit-idle-time=-1 \
      -L "module-null-sink sink_name=rec rate=48000" -L module-native-protocol-unix \
      >/dev/null 2>&1 &
    pids+=($!)
  fi
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink rec 2>/dev/null || true
}

start_server
wrap=()
[[ $recorder == jack ]] && wrap=(pw-jack)
"${wrap[@]}" ${RECOVERY_GRID:-./build/bench/recovery_grid} --seconds 16 --latency "$latency" --recorder "$recorder" \
  2>"$work/said" &
bench=$!
sleep 6
stop_server
sleep 0.5
start_server
wait "$bench"
grep -E "lost|back|audio output:" "$work/said" || true
