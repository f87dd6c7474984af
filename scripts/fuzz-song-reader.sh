#!/usr/bin/env bash
# Fuzzes the song file reader with libFuzzer (clang), starting from the test
# fixtures: the loop reader's script with the song reader's target.
#
#   scripts/fuzz-song-reader.sh [RUNS]     (default 1000000)
FUZZ_READER=song exec bash "$(dirname "$0")/fuzz-loop-reader.sh" "$@"
