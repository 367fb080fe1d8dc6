#!/usr/bin/env bash
# CI: builds the Debian package, installs it with apt, runs the installed
# programs and removes the package again. Run as root (or with sudo) on Debian 12.
# BUILD_DIR (default build-package) is the build directory; KEEP_INSTALLED=1
# leaves the package installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive

scripts/deps.sh build
# dpkg-shlibdeps (dpkg-dev) and file compute the package's dependencies.
if ! command -v dpkg-shlibdeps >/dev/null || ! command -v file >/dev/null; then
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends dpkg-dev file
fi

build=${BUILD_DIR:-build-package}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRINDLEWICK_TESTS=OFF
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/brindlewick_*.deb
(cd "$build" && cpack -G DEB)

version=$(sed -n 's/^project(Brindlewick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$root/$build/brindlewick_${version}_$(dpkg --print-architecture).deb"
[[ -f $deb ]] || { echo "package-check: $deb was not built" >&2; exit 1; }

fail() {
    echo "package-check: $*" >&2
    exit 1
}

echo "== Package fields"
dpkg-deb --field "$deb" Package Version Depends
[[ $(dpkg-deb --field "$deb" Package) == brindlewick ]] || fail "wrong package name"
[[ $(dpkg-deb --field "$deb" Version) == "$version" ]] || fail "wrong version"
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libstdc++6; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/brindlewick ./usr/bin/brindlewick-cli; do
    grep -q " $path\$" <<<"$contents" || fail "$path is not in the package"
done
grep -q '^.* \./usr/share/applications/.*\.desktop$' <<<"$contents" || fail "no desktop entry"
grep -q '^.* \./usr/share/icons/.*brindlewick\.\(png\|svg\)$' <<<"$contents" || fail "no icon"

echo "== Install"
cleanup() {
    if [[ ${KEEP_INSTALLED:-0} != 1 ]]; then
        "${sudo[@]}" apt-get remove -y -qq brindlewick >/dev/null || true
    fi
    rm -rf "${work:-}"
}
trap cleanup EXIT
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "$deb"

echo "== Installed programs"
[[ $(command -v brindlewick-cli) == /usr/bin/brindlewick-cli ]] || fail "brindlewick-cli not on PATH"
[[ $(/usr/bin/brindlewick-cli --version) == v1.51 ]] || fail "wrong --version"
if ldd /usr/bin/brindlewick /usr/bin/brindlewick-cli | grep -q 'not found'; then
    fail "installed programs miss libraries"
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate /usr/share/applications/*brindlewick*.desktop
fi

# A small generation with the installed CLI, with its own settings folder.
work=$(mktemp -d)
mkdir -p "$work/pictures" "$work/config"
printf 'GIF89a' >"$work/pictures/one.gif"
printf '\xff\xd8\xff\xe0' >"$work/pictures/Two.jpg"
output=$(cd "$work/pictures" && XDG_CONFIG_HOME="$work/config" HOME="$work" \
    /usr/bin/brindlewick-cli --gallery --copyright -c "Package check" one.gif Two.jpg)
[[ $output == "Processed 2 file(s)" ]] || fail "unexpected output: $output"
grep -q 'SRC="one.gif".*&copy; Package check' "$work/pictures/one.html" || fail "one.html wrong"
grep -q 'SRC="Two.jpg"' "$work/pictures/Two.html" || fail "Two.html wrong"
grep -q 'one.gif.*Two.jpg' "$work/pictures/ShowAll.html" || fail "ShowAll.html wrong"

# The window starts from the installed files and keeps running until closed.
status=0
(cd "$work" && XDG_CONFIG_HOME="$work/config" HOME="$work" QT_QPA_PLATFORM=offscreen \
    timeout 3 /usr/bin/brindlewick) >/dev/null 2>&1 || status=$?
[[ $status -eq 124 ]] || fail "the installed window ended early (status $status)"

echo "package-check: $deb installs and works"
