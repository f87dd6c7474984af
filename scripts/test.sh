#!/usr/bin/env bash
# Installs what is missing, builds Zumbal and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default
