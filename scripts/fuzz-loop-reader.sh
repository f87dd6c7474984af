#!/usr/bin/env bash
# Fuzzes the loop file reader with libFuzzer (clang), starting from the test
# fixtures and the factory loops.
#
#   scripts/fuzz-loop-reader.sh [RUNS]     (default 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
command -v clang++ >/dev/null || apt-get install -y -qq clang libclang-rt-14-dev
build=build-fuzz
cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# FUZZ_READER=song (scripts/fuzz-song-reader.sh) fuzzes the song reader instead.
reader=${FUZZ_READER:-loop}
cmake --build "$build" --target "fuzz_${reader}_reader"
corpus=$(mktemp -d)
if [[ $reader == song ]]; then
  cp tests/song/fixtures/* "$corpus"/
  max_len=4096
else
  cp tests/loops/fixtures/* assets/loops/* "$corpus"/
  # A loop whose steps vary: a factory loop as version 150, with its groove
  # lines and the four blocks.
  first=$(find assets/loops -type f | sort | head -n 1)
  {
    sed -n '1p; 2s/.*/150/p; 3,258p' "$first"
    printf '50\n0\n0\n'
    for v in 60 42 3 -5; do for _ in $(seq 112); do echo "$v"; done; done
  } >"$corpus/varying-150"
  max_len=16384
fi
"$build/fuzz_${reader}_reader" -runs="$runs" -max_len="$max_len" "$corpus" 2>&1 | tail -n 12
rm -rf "$corpus"
