#!/usr/bin/env bash
# Installs the Debian packages Brindlewick needs to build, run and test, and
# only those that are missing. Usage: scripts/deps.sh [build|test|package|fuzz]
set -euo pipefail

# libvips makes the web gallery's thumbnails; exiv2 reads the photos' metadata
# (zlib inflates PNG's compressed text); libheif writes HEIF images in tests.
packages=(cmake g++ make pkg-config libgtest-dev qt6-base-dev libgl-dev libvips-dev)
packages+=(libexiv2-dev zlib1g-dev libheif-dev)
if [[ "${1:-build}" == package ]]; then
    # scdoc writes the manual pages; dpkg-dev dates them from the changelog and,
    # with file, computes the Debian package's dependencies.
    packages+=(scdoc dpkg-dev file)
    # The checks of .ci/package-check.sh: lintian, the AppStream and desktop
    # entry validators, man, bash completion and hardening-check (devscripts).
    packages+=(lintian appstream desktop-file-utils man-db bash-completion devscripts)
fi
if [[ "${1:-build}" == test ]]; then
    # Offscreen GUI tests, the browser test and the screenshot script.
    packages+=(xvfb xauth chromium python3 imagemagick)
    # The thumbnail benchmark runs vipsthumbnail next to the thumbnailer.
    packages+=(libvips-tools)
    # The metadata test writes its photos' metadata with exiftool.
    packages+=(libimage-exiftool-perl)
    # Node.js (20 or newer) drives the browser test; a nodejs build that bundles
    # npm conflicts with Debian's npm package, so look for the commands.
    command -v node >/dev/null || packages+=(nodejs)
    command -v npm >/dev/null || packages+=(npm)
fi
if [[ "${1:-build}" == fuzz ]]; then
    # scripts/fuzz.sh: clang with libFuzzer and the sanitizers' runtime.
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
