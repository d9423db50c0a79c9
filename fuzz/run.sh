#!/usr/bin/env bash
# Builds the engine fuzzer with the "fuzz" preset and runs it for a bounded
# number of inputs from a fixed seed, starting from the checked-in corpus.
# Exits non-zero when libFuzzer finds a crash, a sanitizer report or a
# disagreement with the reference expander; the input is saved in build/fuzz.
# RUNS=<n> changes the number of inputs (default 200000).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset fuzz
cmake --build --preset fuzz

# New inputs go to a scratch corpus so that the checked-in one stays small.
work=build/fuzz/corpus
rm -rf "$work"
mkdir -p "$work"
build/fuzz/fuzz/razmnozhator_fuzz_engine -runs="${RUNS:-200000}" -seed=1 -max_len=64 \
    -artifact_prefix=build/fuzz/ -print_final_stats=1 "$work" fuzz/corpus
