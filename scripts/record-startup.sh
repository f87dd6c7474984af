#!/usr/bin/env bash
# Starts Zumbal under Xvfb with a private PulseAudio null sink, records SECONDS
# (default 10) of what it plays and measures the onsets against the grid.
# Needs the --dev packages of scripts/install-deps.sh.
#
#   scripts/record-startup.sh [SECONDS] [OUT.wav] [zumbal options...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
out=${2:-/tmp/zumbal-startup.wav}
shift $(($# < 2 ? $# : 2))

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; pulseaudio --kill 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME/.config/Zumbal"
# Event sounds off, so that only the loop is recorded.
echo 0 >"$HOME/.config/Zumbal/zumbal preferences"

Xvfb :98 -screen 0 1024x768x24 >/dev/null 2>&1 &
pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1
pactl load-module module-null-sink sink_name=rec >/dev/null
pactl set-default-sink rec
parec -d rec.monitor --file-format=wav "$out" &
recorder=$!
sleep 0.5
DISPLAY=:98 timeout "$seconds" ./build/zumbal --audio pulseaudio "$@" || true
sleep 0.3
kill "$recorder"
sleep 0.3
/usr/bin/python3 scripts/onsets.py "$out"
