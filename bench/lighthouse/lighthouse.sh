#!/usr/bin/env bash
# Prints Lighthouse's scores for the web gallery brindlewick-cli makes from
# the sample images and PHOTOS photos of 4000x3000 (default 4): the gallery
# page and the first photo's page, each as a phone and as a desktop sees it,
# served from 127.0.0.1 and opened in the system's headless Chromium. The
# photos carry titles, captions (one of them right to left) and dates, shown
# with their details. Then the same for the samples and the first two photos
# in folders, with albums: the top album's page, with the cards of its
# sub-albums, and the page of a sub-album with sub-albums and photos of its own.
# Lighthouse comes from npm (pinned in package-lock.json), installed into
# BUILD_DIR/bench/lighthouse. Usage: bench/lighthouse/lighthouse.sh [PHOTOS]
set -euo pipefail
cd "$(dirname "$0")/../.."
photos=${1:-4}
build=${BUILD_DIR:-build}

# Chromium, Node.js and npm, as the browser tests install them.
scripts/deps.sh test
[[ -f "$build/CMakeCache.txt" ]] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target brindlewick-cli brindlewick-bench-thumbs >/dev/null

# Lighthouse beside the script and the browser tests' web server.
tools="$build/bench/lighthouse"
mkdir -p "$tools"
cp bench/lighthouse/package.json bench/lighthouse/package-lock.json \
    bench/lighthouse/lighthouse_scores.mjs tests/browser/serve.mjs "$tools/"
if ! cmp -s "$tools/package-lock.json" "$tools/node_modules/.package-lock.json.installed"; then
    (cd "$tools" && npm ci --no-audit --no-fund >/dev/null)
    cp "$tools/package-lock.json" "$tools/node_modules/.package-lock.json.installed"
fi

# The gallery, in a folder of its own with settings of its own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/site" "$work/config"
cp samples/* "$work/site/"
"$build/bench/thumbnail/brindlewick-bench-thumbs" --make-photos "$work/site" "$photos"
exiftool -q -overwrite_original -XMP-dc:Title="Harbour at dawn" \
    -XMP-dc:Description="Fishing boats come back <before> the market opens & the water is still." \
    -DateTimeOriginal="2026:07:01 06:30:00" -OffsetTimeOriginal="+02:00" -Make=Canon \
    -Model="Canon EOS R6" -FNumber=4 -ExposureTime=0.004 -ISO=200 -FocalLength=50 \
    "$work/site/photo 0.jpg"
if ((photos > 1)); then
    exiftool -q -overwrite_original -XMP-dc:Title="الميناء عند الفجر" \
        -XMP-dc:Description="قوارب الصيد تعود قبل أن يفتح السوق" "$work/site/photo 1.jpg"
fi
cli=$(realpath "$build/cli/brindlewick-cli")
(cd "$work/site" && XDG_CONFIG_HOME="$work/config" "$cli" --web-gallery --details --title="Summer 2026" \
    -c "Summer holiday 2026, photos by the family" ./* >/dev/null)

echo "load: $(uptime)"
pages=(ShowAll.html "photo 0.html")
((photos > 1)) && pages+=("photo 1.html")
node "$tools/lighthouse_scores.mjs" "$work/site" "${pages[@]}"

# The albums, with settings of their own: Harbour, and Summer with photos of
# its own and the sub-albums Beach day and Meadow.
albums="$work/albums"
mkdir -p "$albums/Harbour" "$albums/Summer/Beach day" "$albums/Summer/Meadow" "$work/albums-config"
# A photo first in Harbour and in Beach day, so that their covers are
# thumbnails of photos.
cp "$work/site/photo 0.jpg" "$albums/Harbour/at dawn.jpg"
cp samples/harbour.gif "$albums/Harbour/"
cp samples/sunset.jpg "$albums/Summer/"
cp samples/tower.png "$albums/Summer/Beach day/"
((photos > 1)) && cp "$work/site/photo 1.jpg" "$albums/Summer/Beach day/"
cp samples/meadow.bmp "$albums/Summer/Meadow/"
(cd "$albums" && find . -type f -printf '%P\n' | sort | XDG_CONFIG_HOME="$work/albums-config" "$cli" --web-gallery --albums --details \
    --title="Summer 2026" -c "Summer holiday 2026, photos by the family" - >/dev/null)
echo
node "$tools/lighthouse_scores.mjs" "$albums" ShowAll.html Summer/ShowAll.html
