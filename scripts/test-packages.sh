#!/usr/bin/env bash
# Builds the Debian packages and checks them as a plant PC would meet them: lintian, the menu
# entries, `cmake --install` laying out the same files, apt-get install, the installed programs
# run, and after removal nothing of the packages left behind. Needs root (it installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-pkg/packages
bash scripts/package.sh "$out"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-pkg/CMakeCache.txt)
arch=$(dpkg --print-architecture)
panel_deb=$(realpath "$out/vacuum-panel_${version}_${arch}.deb")
trend_deb=$(realpath "$out/vacuum-trend_${version}_${arch}.deb")
packages=(vacuum-panel vacuum-trend)
work=$(mktemp -d)

fail() {
    echo "test-packages: $*" >&2
    exit 1
}
purge() {
    local installed=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed &&
            installed+=("$p")
    done
    [ "${#installed[@]}" -eq 0 ] || DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "${installed[@]}"
}
# A failed check must not leave the packages on the machine.
trap 'purge > /dev/null 2>&1 || true; rm -rf "$work"' EXIT
is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; }

# The changelog is written by hand: it must not fall behind the project's version.
[ "$(dpkg-parsechangelog -l packaging/changelog -S Version)" = "$version" ] ||
    fail "packaging/changelog does not start with version $version"
# The reason for two packages: only the trend viewer needs Qt Charts.
dpkg-deb -f "$panel_deb" Depends | grep -q libqt6charts && fail "vacuum-panel depends on Qt Charts"
dpkg-deb -f "$trend_deb" Depends | grep -q libqt6charts || fail "vacuum-trend lacks Qt Charts"
for deb in "$panel_deb" "$trend_deb"; do
    echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; Depends: $(dpkg-deb -f "$deb" Depends)"
done

lintian --fail-on error "$panel_deb" "$trend_deb"
desktop-file-validate packaging/desktop/*.desktop

# A prefix install holds the files the packages hold, under the prefix instead of /usr.
cmake --install build-pkg --prefix "$work/prefix" > /dev/null
diff <(cd "$work/prefix" && find . ! -type d | sed 's|^\./||' | sort) \
    <(for deb in "$panel_deb" "$trend_deb"; do dpkg-deb --fsys-tarfile "$deb" | tar -t; done |
        grep -v '/$' | sed 's|^\./usr/||' | sort) ||
    fail "cmake --install and the packages differ (< prefix, > packages)"

purge
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$panel_deb" "$trend_deb"
# No display here; the panel opens its platform before reading even --version.
export QT_QPA_PLATFORM=offscreen
for program in vacuum-panel vacuum-controller-sim vacuum-trend vacuum-journal; do
    [ "$(/usr/bin/$program --version)" = "$program $version" ] || fail "$program --version"
done
# A rack PC runs it headless: the program itself needs no window system's library.
ldd /usr/bin/vacuum-panel | grep -E 'libX11|libxcb|libQt6Gui|libQt6Widgets' &&
    fail "vacuum-panel links the window system"
/usr/bin/vacuum-panel --screenshot "$work/panel.png" --quit-after 1
is_png "$work/panel.png" || fail "the installed panel wrote no screenshot"
# The simulator prints the pseudo-terminal it serves, and quits cleanly on SIGINT.
device=$(timeout -s INT 2 /usr/bin/vacuum-controller-sim 2> /dev/null || true)
[[ $device == /dev/pts/* ]] || fail "the installed simulator served no pseudo-terminal"
build-pkg/bin/vacuum-trend-demo-log "$work/demo" > /dev/null
/usr/bin/vacuum-trend "$work/demo" --png "$work/trend.png"
is_png "$work/trend.png" || fail "the installed trend viewer wrote no picture"

# Nothing of theirs may survive removal: every file goes, and every folder that no other package
# still holds.
for p in "${packages[@]}"; do dpkg -L "$p"; done | grep -vx '/\.' | sort -u > "$work/owned"
purge
left=()
while IFS= read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        dpkg -S "$path" > /dev/null 2>&1 || left+=("$path")
    elif [ -e "$path" ] || [ -L "$path" ]; then
        left+=("$path")
    fi
done < "$work/owned"
[ "${#left[@]}" -eq 0 ] || fail "left behind after removal: ${left[*]}"
echo "test-packages: built, checked, installed, ran and removed ${packages[*]} $version"
