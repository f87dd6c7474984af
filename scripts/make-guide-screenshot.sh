#!/bin/bash
# Takes the pictures of the user guide: the main window (docs/main-window.png)
# and the keyboard's first octave in FastSwitch mode (docs/fastswitch-keys.png).
#
#   bash scripts/make-guide-screenshot.sh [PROGRAM] [LOOP]
#
# PROGRAM is a built zumbal (default build/zumbal), LOOP the name of a factory
# loop in assets/loops (default "Afro Six Eight"). Needs Xvfb, xdotool and
# ImageMagick (bash scripts/install-deps.sh --dev installs them). Runs the
# program silently on a private display with a loops folder that holds only
# LOOP, so that entering and leaving FastSwitch mode (Ctrl+M twice) loads and
# draws it.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/zumbal}
loop=${2:-Afro Six Eight}
out=$here/docs/main-window.png
display=:96

[ -x "$program" ] || { echo "no program at $program; build it first" >&2; exit 1; }
[ -f "$here/assets/loops/$loop" ] || { echo "no factory loop \"$loop\"" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=
zumbal_pid=
cleanup() {
    [ -n "$zumbal_pid" ] && kill "$zumbal_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/loops" "$work/config" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
cp "$here/assets/loops/$loop" "$work/loops/"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1

# A private home for the preferences, so that the user's are left alone.
DISPLAY=$display XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb \
    "$program" --audio null --loops "$work/loops" >"$work/zumbal.log" 2>&1 &
zumbal_pid=$!

window=
for _ in $(seq 1 50); do
    window=$(DISPLAY=$display xdotool search --name '^Zumbal$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "the window did not open" >&2; cat "$work/zumbal.log" >&2; exit 1; }
sleep 1

export DISPLAY=$display
xdotool windowmove "$window" 0 0
xdotool windowfocus --sync "$window"
sleep 0.3
# FastSwitch on loads the first (and only) preset; FastSwitch off loads it
# again and draws it.
xdotool key --window "$window" ctrl+m
sleep 0.5
xdotool key --window "$window" ctrl+m
sleep 1
# Park the pointer away from the window so that no tooltip shows.
xdotool mousemove 1000 750
sleep 0.5

eval "$(xdotool getwindowgeometry --shell "$window")"
/usr/bin/import -window root "$work/shot.png"
mkdir -p "$here/docs"
/usr/bin/convert "$work/shot.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
    -strip -define png:compression-level=9 "$out"
echo "wrote $out (${WIDTH}x${HEIGHT})"

# FastSwitch mode shows the computer-keyboard letters on the first octave.
xdotool windowfocus --sync "$window"
xdotool key --window "$window" ctrl+m
sleep 1
xdotool mousemove 1000 750
sleep 0.3
/usr/bin/import -window root "$work/fast.png"
# The keyboard is the bottom 90 px of the window; the letters lie on its
# first 140 px.
keys=$here/docs/fastswitch-keys.png
/usr/bin/convert "$work/fast.png" -crop "300x90+${X}+$((Y + HEIGHT - 90))" +repage \
    -strip -define png:compression-level=9 "$keys"
echo "wrote $keys"
