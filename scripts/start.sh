#!/usr/bin/env bash
# Builds Brindlewick and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEWICK_GUI=ON
cmake --build "$build" -j "$(nproc)" --target brindlewick brindlewick-cli
exec "$build/app/brindlewick" "$@"
