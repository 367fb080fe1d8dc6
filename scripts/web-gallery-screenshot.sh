#!/usr/bin/env bash
# Draws docs/web-gallery.png: the web gallery brindlewick-cli makes from the
# sample images, as headless Chromium shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target brindlewick-cli

# The samples in a folder of their own, with settings of their own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/site" "$work/config" "$work/browser"
cp samples/* "$work/site/"
# The samples are small: at 96 pixels most are shrunk, the smallest is not.
cli=$(realpath "$build/cli/brindlewick-cli")
(cd "$work/site" && XDG_CONFIG_HOME="$work/config" "$cli" --web-gallery --thumb-size=96 \
    -c "Summer holiday 2026, photos by the family" ./*)

mkdir -p docs
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/browser" --hide-scrollbars --screenshot="$PWD/docs/web-gallery.png" \
    --window-size=900,220 "file://$work/site/ShowAll.html" 2>"$work/chromium.log" ||
    { cat "$work/chromium.log" >&2; exit 1; }
echo "Wrote docs/web-gallery.png"
