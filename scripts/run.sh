#!/usr/bin/env bash
# Installs what is missing, builds Zumbal and starts it. Arguments are passed
# to the program (see --help). With --desktop-entry first, it also adds
# Zumbal to the desktop's application menu.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
if [[ "${1:-}" == "--desktop-entry" ]]; then
  shift
  bash scripts/install-desktop-entry.sh
fi
exec ./build/zumbal "$@"
