#!/usr/bin/env bash
# Fuzzes the song file reader with libFuzzer (clang), starting from the test
# fixtures.
#
#   scripts/fuzz-song-reader.sh [RUNS]     (default 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
command -v clang++ >/dev/null || apt-get install -y -qq clang libclang-rt-14-dev
build=build-fuzz
cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzz_song_reader
corpus=$(mktemp -d)
cp tests/song/fixtures/* "$corpus"/
"$build"/fuzz_song_reader -runs="$runs" -max_len=4096 "$corpus" 2>&1 | tail -n 12
rm -rf "$corpus"
