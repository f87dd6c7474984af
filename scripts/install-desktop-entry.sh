#!/usr/bin/env bash
# Adds Zumbal to the desktop's application menu for the current user: a
# .desktop file that starts this checkout's build, with the program's icon.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
apps=${XDG_DATA_HOME:-$HOME/.local/share}/applications
icons=${XDG_DATA_HOME:-$HOME/.local/share}/icons/hicolor/scalable/apps
mkdir -p "$apps" "$icons"
cp "$root/assets/pictures/icona.svg" "$icons/zumbal.svg"
cat >"$apps/zumbal.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Zumbal
Comment=Drum-loop machine
Exec=$root/build/zumbal
Icon=zumbal
Terminal=false
Categories=AudioVideo;Audio;Music;
ENTRY
echo "Installed $apps/zumbal.desktop"
