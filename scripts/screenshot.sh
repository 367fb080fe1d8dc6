#!/usr/bin/env bash
# Draws docs/window.png: the main window with the sample images listed, as a
# real X server (Xvfb) shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target brindlewick-screenshot

# The samples under a plain folder name, and settings of their own.
work=/tmp/brindlewick
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
pics="$work/Pictures/Holiday 2026"
mkdir -p "$pics" "$work/config"
cp samples/* "$pics/"
printf '[options]\ntxt0=Summer holiday 2026, photos by the family\nShowAll=1\n' \
    >"$work/config/brindlewick.ini"

mkdir -p docs
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" \
    "$build/app/brindlewick-screenshot" docs/window.png "$pics"/*
echo "Wrote docs/window.png"
