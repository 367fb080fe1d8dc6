#!/usr/bin/env bash
# CI: builds the Debian package, checks it with lintian, the AppStream and
# desktop-entry validators, man and bash, installs it with apt, runs the
# installed programs and removes the package again. Run as root (or with sudo)
# on Debian 12. BUILD_DIR (default build-package) is the build directory;
# KEEP_INSTALLED=1 leaves the package installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive

scripts/deps.sh package

build=${BUILD_DIR:-build-package}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRINDLEWICK_TESTS=OFF -DBRINDLEWICK_BENCH=OFF \
    -DBRINDLEWICK_PACKAGE=ON
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

work=$(mktemp -d)
cleanup() {
    if [[ ${installed:-0} == 1 && ${KEEP_INSTALLED:-0} != 1 ]]; then
        "${sudo[@]}" apt-get remove -y -qq brindlewick >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "== Package fields"
dpkg-deb --field "$deb" Package Version Section Depends
[[ $(dpkg-deb --field "$deb" Package) == brindlewick ]] || fail "wrong package name"
[[ $(dpkg-deb --field "$deb" Version) == "$version" ]] || fail "wrong version"
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libstdc++6; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/brindlewick ./usr/bin/brindlewick-cli \
    ./usr/share/man/man1/brindlewick.1.gz ./usr/share/man/man1/brindlewick-cli.1.gz \
    ./usr/share/doc/brindlewick/changelog.gz ./usr/share/doc/brindlewick/copyright \
    ./usr/share/bash-completion/completions/brindlewick-cli \
    ./usr/share/metainfo/org.brindlewick.Brindlewick.metainfo.xml; do
    grep -q " $path\$" <<<"$contents" || fail "$path is not in the package"
done
grep -q '^.* \./usr/share/applications/.*\.desktop$' <<<"$contents" || fail "no desktop entry"
grep -q '^.* \./usr/share/icons/.*brindlewick\.\(png\|svg\)$' <<<"$contents" || fail "no icon"

echo "== lintian"
# Errors and warnings, and the informational and pedantic tags too (they
# include the hardening tags); nothing is overridden.
lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$deb" ||
    fail "lintian found problems"

# The remaining checks read the package's files as dpkg-deb unpacks them, so
# that they do not depend on what an installation leaves out.
tree="$work/tree"
dpkg-deb --extract "$deb" "$tree"

echo "== Hardening"
# Both programs are built with _FORTIFY_SOURCE and use checked libc calls.
# Control-flow protection is not among Debian 12's hardening flags.
hardening-check --nocfprotection "$tree/usr/bin/brindlewick-cli"
hardening-check --nocfprotection "$tree/usr/bin/brindlewick"

echo "== AppStream and desktop entry"
appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
desktop-file-validate "$tree"/usr/share/applications/*.desktop
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' \
    "$tree"/usr/share/metainfo/*.metainfo.xml)
[[ -f $tree/usr/share/applications/$launchable ]] || fail "no desktop entry $launchable"

echo "== Manual pages"
# brindlewick-cli last: its text is searched below.
for page in brindlewick brindlewick-cli; do
    file="$tree/usr/share/man/man1/$page.1.gz"
    text=$(MANWIDTH=200 man --warnings -l "$file" 2>"$work/man-warnings") ||
        fail "man cannot show $page(1)"
    [[ ! -s $work/man-warnings ]] || fail "man warns about $page(1): $(cat "$work/man-warnings")"
    grep -q "^NAME" <<<"$text" || fail "$page(1) has no NAME section"
done
for word in --comment --copyright --no-copyright --gallery --no-gallery --help --version \
    txt14 ShowAllFileName UseCopyrightSymbol ShowAll 'EXIT STATUS' 'brindlewick-cli -0 -'; do
    grep -qF -- "$word" <<<"$text" || fail "brindlewick-cli(1) does not mention $word"
done

echo "== Install"
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "$deb"
installed=1

echo "== Installed programs"
[[ $(command -v brindlewick-cli) == /usr/bin/brindlewick-cli ]] || fail "brindlewick-cli not on PATH"
IFS=. read -r major minor patch <<<"$version"
[[ $(/usr/bin/brindlewick-cli --version) == "v$major.$minor$patch" ]] || fail "wrong --version"
if ldd /usr/bin/brindlewick /usr/bin/brindlewick-cli | grep -q 'not found'; then
    fail "installed programs miss libraries"
fi

# A small generation with the installed CLI, with its own settings folder.
mkdir -p "$work/pictures" "$work/config"
printf 'GIF89a' >"$work/pictures/one.gif"
printf '\xff\xd8\xff\xe0' >"$work/pictures/Two.jpg"
printf 'text' >"$work/pictures/notes.txt"
output=$(cd "$work/pictures" && XDG_CONFIG_HOME="$work/config" HOME="$work" \
    /usr/bin/brindlewick-cli --gallery --copyright -c "Package check" one.gif Two.jpg)
expected=$(printf 'Processed 2 file(s)\nGallery: %s/pictures/ShowAll.html' "$work")
[[ $output == "$expected" ]] || fail "unexpected output: $output"
grep -q 'SRC="one.gif".*&copy; Package check' "$work/pictures/one.html" || fail "one.html wrong"
grep -q 'SRC="Two.jpg"' "$work/pictures/Two.html" || fail "Two.html wrong"
grep -q 'one.gif.*Two.jpg' "$work/pictures/ShowAll.html" || fail "ShowAll.html wrong"

echo "== Bash completion"
# bash-completion loads the installed completion on demand; complete a few
# command lines as bash would split them.
completions=$(cd "$work/pictures" && bash --norc --noprofile -c '
    source /usr/share/bash-completion/bash_completion
    __load_completion brindlewick-cli || exit 1
    complete -p brindlewick-cli
    try() {
        COMP_WORDS=(brindlewick-cli "$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="${COMP_WORDS[*]}"
        COMP_LINE=${COMP_LINE// = /=}
        COMP_POINT=${#COMP_LINE}
        COMPREPLY=()
        _brindlewick_cli brindlewick-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" 2>/dev/null
        echo "$* =>" $(printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort)
    }
    try --gal
    try --no
    try --gallery ""
    try -c ""
    try --comment = ""
    try --thumb-size ""
    try --we
    try --sort = ""
    try --so d
')
echo "$completions"
expected="complete -F _brindlewick_cli brindlewick-cli
--gal => --gallery
--no => --no-albums --no-captions --no-copyright --no-details --no-gallery --no-reverse --no-web-gallery
--gallery  => Two.jpg one.gif
-c  =>
--comment =  =>
--thumb-size  =>
--we => --web-gallery
--sort =  => date name
--so d => date"
[[ $completions == "$expected" ]] || fail "bash completion differs from: $expected"

# The window starts from the installed files and keeps running until closed.
status=0
(cd "$work" && XDG_CONFIG_HOME="$work/config" HOME="$work" QT_QPA_PLATFORM=offscreen \
    timeout 3 /usr/bin/brindlewick) >/dev/null 2>&1 || status=$?
[[ $status -eq 124 ]] || fail "the installed window ended early (status $status)"

echo "package-check: $deb installs and works"
