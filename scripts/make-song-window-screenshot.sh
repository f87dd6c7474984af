#!/bin/bash
# Takes the user guide's picture of the song window (docs/song-window.png).
#
#   bash scripts/make-song-window-screenshot.sh [BUILD]
#
# BUILD is a build folder holding tests/song/show_song_window (default
# build). Needs Xvfb, openbox, xdotool and ImageMagick (bash
# scripts/install-deps.sh --dev installs them). The window opens on a private
# display, under a window manager so that it gets the focus, with a loops
# folder of the factory loops and a song of them in its songs folder.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
program=$build/tests/song/show_song_window
out=$here/docs/song-window.png
display=:97

[ -x "$program" ] || { echo "no $program; build the target show_song_window first" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=
wm_pid=
window_pid=
cleanup() {
    [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/loops" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
cp "$here"/assets/loops/* "$work/loops/"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
export DISPLAY=$display
XDG_CONFIG_HOME=$work/config openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 1

XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb \
    "$program" "$work/loops" >"$work/window.log" 2>&1 &
window_pid=$!

window=
for _ in $(seq 1 50); do
    window=$(xdotool search --name '^Song$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "the window did not open" >&2; cat "$work/window.log" >&2; exit 1; }
sleep 1

xdotool windowmove "$window" 20 20
xdotool windowactivate --sync "$window"
sleep 0.5
# Park the pointer away from the window so that no tooltip shows.
xdotool mousemove 1000 750
sleep 0.5

# The window's own area, without the frame openbox draws.
/usr/bin/import -window "$window" "$work/shot.png"
mkdir -p "$here/docs"
/usr/bin/convert "$work/shot.png" -strip -define png:compression-level=9 "$out"
echo "wrote $out ($(/usr/bin/identify -format %wx%h "$out"))"
