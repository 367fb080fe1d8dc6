#!/usr/bin/env bash
# Builds Brindlewick and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEWICK_TESTS=OFF
cmake --build "$build" -j "$(nproc)"
if [[ -x "$build/app/brindlewick" ]]; then
    exec "$build/app/brindlewick" "$@"
fi
# Without the window: generate pages for the samples in a temporary copy.
work=$(mktemp -d)
cp samples/* "$work/"
(cd "$work" && "$OLDPWD/$build/cli/brindlewick-cli" --gallery -c "Sample pages" ./*.*)
echo "Pages written to $work"
