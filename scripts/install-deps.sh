#!/usr/bin/env bash
# Installs the Debian packages Zumbal needs to build, run and test.
# Only missing packages are installed, and the package lists are refreshed
# only when something is missing. jackd2, Xvfb and openbox are for the
# tests, which start a private JACK server, and a private X server with a
# window manager, of their own; the desktop-file and AppStream validators
# check the menu entry and the metainfo. Pass --dev for the tools used to
# look at and listen to the running program (xdotool, ImageMagick,
# PulseAudio, sox, the JACK tools, FluidSynth's player and numpy for the
# live benchmark).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config librsvg2-bin
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libfluidsynth-dev libsndfile1-dev libasound2-dev libpulse-dev libjack-jackd2-dev
  ableton-link-dev libasio-dev
  fonts-liberation
  fluid-soundfont-gm timgm6mb-soundfont
  libgtest-dev
  jackd2 xvfb openbox
  desktop-file-utils appstream
)
if [[ "${1:-}" == "--dev" ]]; then
  packages+=(x11-utils xdotool imagemagick pulseaudio pulseaudio-utils sox
    jack-tools fluidsynth python3-numpy)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
