#!/usr/bin/env bash
# Plays Zumbal's PulseAudio output on a private PipeWire (pipewire,
# wireplumber and pipewire-pulse with a null sink driving the graph), records
# it with a JACK client of the graph under pw-jack, restarts the daemons
# while it plays and prints how far the kicks of each stretch sit from the
# first stretch's grid (bench/recovery_grid.sh). Fails when nothing was
# recorded or the sound did not come back after the restart. Installs the
# PipeWire packages it needs, without recommends: pipewire-alsa would
# conflict with the pulseaudio package the other checks use.
#
#   scripts/check-pipewire.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

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

said=$(RECOVERY_GRID=$build/bench/recovery_grid timeout 120 bash bench/recovery_grid.sh pipewire)
echo "PipeWire's PulseAudio server, restarted after 6 s, recorded on the graph's clock:"
echo "$said"
grep -q "^stretch 2:" <<<"$said" || { echo "check-pipewire: no sound after the restart" >&2; exit 1; }
grep -q "pulseaudio is back" <<<"$said" || { echo "check-pipewire: the output did not come back" >&2; exit 1; }
