#!/bin/bash
# Takes the user guide's picture of the step window (docs/step-window.png).
#
#   bash scripts/make-step-window-screenshot.sh [BUILD]
#
# BUILD is a build folder holding zumbal (default build). Needs Xvfb,
# openbox, xdotool, python3 and ImageMagick (bash scripts/install-deps.sh
# --dev installs them). The program opens on a private display, under a
# window manager, with a factory loop whose kick on stroke 1 varies; a middle
# click on that stroke opens the step window.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
program=$build/zumbal
out=$here/docs/step-window.png
display=:96

[ -x "$program" ] || { echo "no $program; build the target zumbal first" >&2; exit 1; }

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

mkdir -p "$work/loops" "$work/config" "$work/runtime" "$work/data"
chmod 700 "$work/runtime"
cp "$here"/assets/loops/* "$work/loops/"

# The factory loop as version 150: a straight groove, and the kick on
# stroke 1 at 80 %, on pass 1 of every 2, two hits, 3/24 of a stroke early.
python3 - "$here/assets/loops/Rock Eighths" "$work/Rock Eighths" <<'PY'
import sys
lines = open(sys.argv[1], encoding="latin-1").read().splitlines()[:258]
lines[1] = "150"
chance, condition, ratchet, nudge = ([d] * 112 for d in (100, 0, 1, 0))
chance[0], condition[0], ratchet[0], nudge[0] = 80, 21, 2, -3
lines += ["50", "0", "0"] + [str(v) for v in chance + condition + ratchet + nudge]
open(sys.argv[2], "w", encoding="latin-1").write("\n".join(lines) + "\n")
PY

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
export DISPLAY=$display
XDG_CONFIG_HOME=$work/config openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 1

XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime \
    QT_QPA_PLATFORM=xcb "$program" --audio null --loops "$work/loops" "$work/Rock Eighths" \
    >"$work/window.log" 2>&1 &
window_pid=$!

find_window() {
    for _ in $(seq 1 50); do
        found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        [ -n "$found" ] && { echo "$found"; return; }
        sleep 0.2
    done
    echo "the window $1 did not open" >&2
    cat "$work/window.log" >&2
    exit 1
}
main=$(find_window '^Zumbal$')
sleep 1
xdotool windowmove "$main" 20 20
xdotool windowactivate --sync "$main"
sleep 0.5

# The client area lies under the menu bar, 443 pixels high; the grid is at
# (168, 7) in it and stroke 1 of DRUM 1 is its first cell.
eval "$(xdotool getwindowgeometry --shell "$main")"
menu=$((HEIGHT - 443))
xdotool mousemove --window "$main" $((168 + 14)) $((menu + 7 + 14))
xdotool click 2
step=$(find_window '^Step$')
sleep 0.5
# Park the pointer away from the windows so that no tooltip shows.
xdotool mousemove 1000 750
sleep 0.5

# The window's own area, without the frame openbox draws.
/usr/bin/import -window "$step" "$work/shot.png"
mkdir -p "$here/docs"
/usr/bin/convert "$work/shot.png" -strip -define png:compression-level=9 "$out"
echo "wrote $out ($(/usr/bin/identify -format %wx%h "$out"))"
