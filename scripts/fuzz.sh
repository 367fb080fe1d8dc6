#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang in build-fuzz/ and runs
# each one for FUZZ_SECONDS (default 15) seconds, starting from its seed
# inputs in fuzz/corpus/NAME/ (NAME: the fuzzer's name without "fuzz_").
# New inputs collect in build-fuzz/corpus/NAME/; a crashing input is kept in
# build-fuzz/artifacts/. Exits non-zero when any fuzzer fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh fuzz
seconds=${FUZZ_SECONDS:-15}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEWICK_FUZZ=ON \
    -DBRINDLEWICK_GUI=OFF -DBRINDLEWICK_TESTS=OFF -DBRINDLEWICK_BENCH=OFF
cmake --build "$build" -j2 --target fuzzers
mkdir -p "$build/artifacts"

status=0
for fuzzer in "$build"/fuzz/fuzz_*; do
    [[ -f $fuzzer && -x $fuzzer ]] || continue
    name=$(basename "$fuzzer")
    short=${name#fuzz_}
    mkdir -p "$build/corpus/$short"
    seeds=()
    [[ -d fuzz/corpus/$short ]] && seeds=("fuzz/corpus/$short")
    echo "== $name: ${seconds} s"
    # Each new input is a line of the fuzzer's output: keep them in a log and
    # show its end, all of it only when the fuzzer fails.
    log="$build/$name.log"
    if "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$name-" "$build/corpus/$short" "${seeds[@]}" \
        >"$log" 2>&1; then
        grep -E '^Done|number_of_executed_units' "$log" || true
    else
        cat "$log" >&2
        echo "$name failed; the input is in $build/artifacts/" >&2
        status=1
    fi
done
exit "$status"
