#!/usr/bin/env bash
# Plays Zumbal live into a private PulseAudio null sink under Xvfb (with a
# window manager, so that the window is active and takes the keys), records
# what comes out and counts the dropouts: stretches of digital silence in a
# loop whose organ bass never stops. Rows, each at every period asked for:
#
#   idle     nobody touches the window
#   session  a scripted session, about four actions a second (grid, tempo,
#            3/4, ter, presets menu, track fields, FastSwitch keys)
#   busy     the same session with every core kept busy by a hash loop
#   control  the same session against a silent Zumbal (--audio null) while
#            the fluidsynth command-line player plays the exported loop:
#            what remains there is the machine's, not the program's
#
# Prints figures only; nothing here passes or fails. Uses ./build/zumbal, the
# --dev packages of scripts/install-deps.sh and the Debian packages openbox,
# x11-utils, fluidsynth and python3-numpy (for /usr/bin/python3).
#
#   bench/live_gaps.sh [--seconds N] [--periods "256 512 1024"]
#                      [--rows "idle session busy control"] [--quick] [--keep DIR]
#
# --quick is --seconds 15 --periods 512. --keep copies the recordings and logs
# to DIR before the work folder is removed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
periods="256 512 1024"
rows="idle session busy control"
keep=""
while (($#)); do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --periods) periods=${2//,/ }; shift 2 ;;
    --rows) rows=${2//,/ }; shift 2 ;;
    --quick) seconds=15; periods=512; shift ;;
    --keep) keep=$2; shift 2 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "live_gaps.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

helper="/usr/bin/python3 bench/live_gaps.py"
soundfont=/usr/share/sounds/sf2/FluidR3_GM.sf2
[[ -x build/zumbal ]] || { echo "live_gaps.sh: build Zumbal first (cmake --build --preset default)" >&2; exit 1; }
[[ -f $soundfont ]] || soundfont=/usr/share/sounds/sf2/default-GM.sf2
missing=()
for tool in Xvfb openbox xdotool xwininfo xprop pulseaudio pactl parec fluidsynth; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
/usr/bin/python3 -c 'import numpy' 2>/dev/null || missing+=("numpy for /usr/bin/python3")
if ((${#missing[@]})); then
  echo "live_gaps.sh: missing: ${missing[*]}" >&2
  exit 1
fi

# The load before anything here starts, for the header.
header="Zumbal live dropouts, $(date '+%Y-%m-%d %H:%M %Z'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$header"

xvfb="" wm="" server="" recorder="" program="" player="" driver="" burners=()

# Stops processes this script started, by their ids, and reaps them.
stop() {
  local pid
  for pid in "$@"; do
    if [[ -n $pid ]]; then kill "$pid" 2>/dev/null || true; fi
  done
  for pid in "$@"; do
    if [[ -n $pid ]]; then wait "$pid" 2>/dev/null || true; fi
  done
}
cleanup() {
  stop "$driver" "$program" "$player" "$recorder" "${burners[@]}"
  stop "$wm" "$server" "$xvfb"
  if [[ -n $keep ]]; then
    mkdir -p "$keep"
    cp "$work"/*.wav "$work"/*.log "$work"/results "$keep"/ 2>/dev/null || true
  fi
  rm -rf "$work"
}
work=$(mktemp -d)
trap cleanup EXIT
trap 'exit 130' INT TERM

# Every row plays the same build, even when build/ is relinked meanwhile.
zumbal=$work/zumbal
cp build/zumbal "$zumbal"

# A private home and runtime folder: the program's preferences, the sound
# server and its socket are all this run's own.
export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$HOME/.config/Zumbal" "$HOME/.config/pulse"
# Event sounds off: only the loop is heard.
echo 0 >"$HOME/.config/Zumbal/zumbal preferences"
# Clients must never start a server of their own behind this script's back.
echo "autospawn = no" >"$HOME/.config/pulse/client.conf"
export PULSE_CLIENTCONFIG=$HOME/.config/pulse/client.conf

# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
display=$(head -n1 "$work/display")
export DISPLAY=:$display
openbox >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done

# The server runs in the foreground as this script's child, so its process id
# is known for the CPU figure and for stopping it.
pulseaudio --daemonize=no --exit-idle-time=-1 >"$work/pulseaudio.log" 2>&1 &
server=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl load-module module-null-sink sink_name=rec >/dev/null
pactl set-default-sink rec

loops=$work/loops
first=$($helper loops "$loops")
# The control row's sound: the first preset, exported long enough for a row.
passes=110
copies=$(((seconds + 20) / (passes * 2) + 1)) # a pass of the first preset lasts 2 s
$zumbal export-midi "$first" -r $passes -o "$work/control.mid" >/dev/null
control_files=()
for _ in $(seq $copies); do control_files+=("$work/control.mid"); done

stats=()
if $zumbal --help 2>&1 | grep -q -- --stats; then stats=(--stats); fi
hz=$(getconf CLK_TCK)

# CPU time (user + system) of a process so far, in clock ticks; the fields
# after the command name, which may hold spaces, are counted from its ")".
ticks() {
  sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{print $12 + $13}' || echo 0
}
percent() { # ticks before, ticks after, seconds
  awk -v a="$1" -v b="$2" -v s="$3" -v hz="$hz" 'BEGIN { printf "%.1f", (s > 0 ? 100 * (b - a) / hz / s : 0) }'
}

# Waits up to 5 s for the program to quit by itself, then stops it.
quit_program() {
  local window=$1
  timeout 5 xdotool windowactivate --sync "$window" key ctrl+q 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$program" 2>/dev/null; then
    echo "  no exit after Ctrl+Q; stopping it" >&2
    kill "$program" 2>/dev/null || true
    sleep 2
    kill -9 "$program" 2>/dev/null || true
  fi
  wait "$program" 2>/dev/null || true
  program=""
}

run_row() {
  local row=$1 period=$2 tag=$1-$2 audio=pulseaudio window measured
  [[ $row == control ]] && audio=null
  echo "== $row, period $period, $seconds s" >&2
  $zumbal --audio "$audio" --period "$period" --loops "$loops" "${stats[@]}" \
    >"$work/$tag-zumbal.log" 2>&1 &
  program=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$program" --name '^Zumbal$' | head -n1) || true
  if [[ -z $window ]]; then
    echo "  no window within 20 s; row skipped (see $tag-zumbal.log with --keep)" >&2
    stop "$program"
    program=""
    echo "row=$row period=$period" >>"$work/results"
    return
  fi
  # The SoundFont loads after the window opens; the start-up loop has no
  # bass, so the first organ preset is chosen before anything is measured.
  sleep 2
  $helper first-preset "$window"
  measured=$program
  if [[ $row == control ]]; then
    fluidsynth -a pulseaudio -ni -q -g 0.5 -r 44100 -z "$period" -c 2 \
      "$soundfont" "${control_files[@]}" >"$work/$tag-fluidsynth.log" 2>&1 &
    player=$!
    measured=$player
  fi
  sleep 1.5
  if [[ $row == busy ]]; then
    for _ in $(seq "$(nproc)"); do
      sha256sum /dev/zero >/dev/null &
      burners+=($!)
    done
  fi

  parec -d rec.monitor --rate=44100 --channels=2 --format=s16le --file-format=wav "$work/$tag.wav" &
  recorder=$!
  local t0 p0 s0 t1 p1 s1
  t0=$(date +%s.%N) p0=$(ticks "$measured") s0=$(ticks "$server")
  # In the background and waited for, so that Ctrl+C stops the row at once.
  if [[ $row == idle ]]; then
    sleep "$seconds" &
  else
    $helper session "$window" "$seconds" 2>>"$work/$tag-session.log" &
  fi
  driver=$!
  wait "$driver" || true
  driver=""
  [[ $row == idle ]] || tail -n1 "$work/$tag-session.log" | sed 's/^/  /' >&2
  t1=$(date +%s.%N) p1=$(ticks "$measured") s1=$(ticks "$server")
  stop "$recorder" "${burners[@]}"
  recorder="" burners=()

  quit_program "$window"
  stop "$player"
  player=""

  local elapsed gaps counters
  elapsed=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
  gaps=$($helper gaps "$work/$tag.wav" 2>"$work/$tag-gaps.log")
  # The control row's sound is not the program's, so its counters say nothing.
  counters="underruns=- late=-"
  [[ $row == control ]] || counters=$($helper stats "$work/$tag-zumbal.log")
  echo "row=$row period=$period $gaps $counters cpu=$(percent "$p0" "$p1" "$elapsed")" \
    "server_cpu=$(percent "$s0" "$s1" "$elapsed") list=$tag-gaps.log" | tee -a "$work/results" >&2
}

for period in $periods; do
  for row in $rows; do
    run_row "$row" "$period"
  done
done

echo
echo "$header"
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg). A gap: 0.5 ms or more below 1e-4 that cuts"
echo "the sound off. Underruns and late renders: the program's --stats counters over its whole run."
echo "Process CPU: Zumbal's, in the control row the fluidsynth player's; both in % of one core."
$helper table "$work/results"
