#!/usr/bin/env bash
# Installs what is missing, builds Zumbal and starts it. Arguments are passed
# to the program (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec ./build/zumbal "$@"
