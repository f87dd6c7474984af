#!/usr/bin/env bash
# Makes the Debian package from a build folder (default: build), installs it
# on this machine with apt, checks the installed program and its files as a
# user would meet them, and removes the package again. Needs root (or sudo)
# and a machine where Zumbal is not installed otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
apt() { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

# dpkg-shlibdeps for the package's dependencies; the validators and man for
# the checks; the MIME and desktop databases, which the package's triggers
# update, for what the file manager sees.
tools=(dpkg-dev desktop-file-utils appstream man-db shared-mime-info libglib2.0-bin)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  apt update -qq
  apt install -y -qq "${missing[@]}"
fi

if dpkg-query -W -f='${Status}' zumbal 2>/dev/null | grep -q "install ok installed"; then
  echo "check-package: zumbal is already installed here; remove it first" >&2
  exit 1
fi

rm -f "$build"/zumbal_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/zumbal_*.deb)
echo "== $(basename "$deb")"
dpkg-deb -f "$deb" Package Version Section Depends Recommends

apt install -y -qq "$deb" >/dev/null
work=$(mktemp -d)
cleanup() {
  apt remove -y -qq --purge zumbal >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "check-package: $*" >&2
  exit 1
}

echo "== dpkg -L zumbal"
dpkg -L zumbal | sort

echo "== zumbal --version"
[[ $(command -v zumbal) == /usr/bin/zumbal ]] || fail "zumbal is not /usr/bin/zumbal"
zumbal --version | tee "$work/version"
grep -qx "zumbal $(dpkg-deb -f "$deb" Version)" "$work/version" || fail "the version differs from the package's"

echo "== zumbal export-midi of an installed factory loop"
loop="/usr/share/zumbal/loops/Funk Ghosts"
zumbal export-midi "$loop" -r 2 -o "$work/funk.mid"
[[ $(head -c 4 "$work/funk.mid") == MThd ]] || fail "export-midi wrote no MIDI file"
echo "wrote $(stat -c %s "$work/funk.mid") bytes"

echo "== the window, offscreen, with an installed loop file as its argument"
# A user of its own: HOME and the runtime folder are fresh, as on a first run.
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
HOME="$work/home" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen \
  zumbal --audio null "$loop" 2>"$work/stderr" &
pid=$!
sleep 5
kill -0 "$pid" 2>/dev/null || { cat "$work/stderr" >&2; fail "the window did not stay open"; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
cat "$work/stderr"
[[ $status -eq 0 ]] || fail "the window ended with status $status"
! grep -q "cannot open" "$work/stderr" || fail "the loop file did not open"
[[ ! -e /usr/bin/loops ]] || fail "the installed program made /usr/bin/loops"
seeded=$(find "$work/home/.local/share/Zumbal/loops" -type f | wc -l)
[[ $seeded -ge 12 ]] || fail "the user's loops folder holds $seeded factory loops"
echo "the user's loops folder was seeded with $seeded factory loops"

echo "== the file type of loop files and the menu entry"
type=$(gio info -a standard::content-type "$loop" | sed -n 's/.*content-type: //p')
echo "content type: $type"
[[ $type == application/x-zumbal-loop ]] || fail "loop files are not recognised"
grep -q "application/x-zumbal-loop=org.zumbal.Zumbal.desktop" \
  /usr/share/applications/mimeinfo.cache || fail "loop files do not open in Zumbal"
echo "loop files open with: org.zumbal.Zumbal.desktop"

echo "== the file type of song files"
# The package holds no song: one as the program writes them.
song="$work/Friday set"
printf 'Friday set song created by Zumbal (Zumbal song file format)\n100\n4\t-\tFunk Ghosts\n' >"$song"
type=$(gio info -a standard::content-type "$song" | sed -n 's/.*content-type: //p')
echo "content type: $type"
[[ $type == application/x-zumbal-song ]] || fail "song files are not recognised"

echo "== desktop-file-validate"
desktop-file-validate /usr/share/applications/org.zumbal.Zumbal.desktop && echo "no findings"

echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net --pedantic --explain /usr/share/metainfo/org.zumbal.Zumbal.metainfo.xml

echo "== man -l"
page=$(dpkg -L zumbal | grep '/man1/zumbal\.1' || true)
if [[ -z $page || ! -e $page ]]; then
  # Some minimal images tell dpkg to leave manual pages out.
  dpkg-deb -x "$deb" "$work/unpacked"
  page=$(find "$work/unpacked" -path '*/man1/zumbal.1*')
  echo "(this machine's dpkg leaves manual pages out: the page from the package)"
fi
MANWIDTH=80 man -l "$page" >"$work/man" 2>&1
head -12 "$work/man"
grep -q "LOOPFILE" "$work/man" || fail "the manual page did not render"

echo "== copyright"
dpkg-deb -c "$deb" >"$work/contents"
grep -q '/usr/share/doc/zumbal/copyright$' "$work/contents" || fail "the package has no copyright file"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/zumbal/copyright >"$work/copyright"
grep -q '^License: GPL-3.0-or-later$' "$work/copyright" || fail "the copyright file names no licence"
echo "GPL-3.0-or-later"

echo "== removing the package"
apt remove -y -qq --purge zumbal >/dev/null
trap 'rm -rf "$work"' EXIT
[[ ! -e /usr/bin/zumbal && ! -e /usr/share/zumbal ]] || fail "the package left files behind"
echo "check-package: the installed package works"
