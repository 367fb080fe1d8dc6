#!/usr/bin/env bash
# Builds Brindlewick with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEWICK_GUI=ON -DBRINDLEWICK_TESTS=ON \
    -DBRINDLEWICK_WERROR="${BRINDLEWICK_WERROR:-OFF}"
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure
