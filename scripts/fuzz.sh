#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang into build-fuzz/ and runs each on
# its seed corpus for FUZZ_SECONDS seconds (default 15). New inputs the
# fuzzers find are kept in build-fuzz/corpus/, not in the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh fuzz
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DBRINDLEWICK_FUZZ=ON -DBRINDLEWICK_GUI=OFF \
    -DBRINDLEWICK_TESTS=OFF -DBRINDLEWICK_BENCH=OFF
cmake --build "$build" -j2
for fuzzer in "$build"/fuzz/fuzz_*; do
    [[ -f "$fuzzer" && -x "$fuzzer" ]] || continue
    name=$(basename "$fuzzer")
    found="$build/corpus/${name#fuzz_}"
    mkdir -p "$found"
    "$fuzzer" -max_total_time="${FUZZ_SECONDS:-15}" "$found" "fuzz/corpus/${name#fuzz_}"
done
