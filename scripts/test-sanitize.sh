#!/usr/bin/env bash
# Builds the core, command-line and metadata tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
build=${SANITIZE_BUILD_DIR:-build-sanitize}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBRINDLEWICK_SANITIZE=ON \
    -DBRINDLEWICK_WERROR=ON -DBRINDLEWICK_GUI=OFF -DBRINDLEWICK_BENCH=OFF -DBRINDLEWICK_TESTS=ON
cmake --build "$build" -j "$(nproc)" --target core_tests cli_tests brindlewick-cli metadata_tests
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -L 'core|cli|metadata'
