#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages and checks them as a plant PC would meet them: lintian, the menu
# entries, `cmake --install` laying out the same files, apt-get install, the installed programs
# run, the gateway's service as far as this machine's init lets it, and after removal nothing of
# the packages left behind. Needs root (it installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-pkg/packages
# Built as a site would build its own: the Maintainer field is the site's.
maintainer="Plant Works Packaging <packages@plant.example>"
DEBFULLNAME="Plant Works Packaging" DEBEMAIL=packages@plant.example bash scripts/package.sh "$out"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-pkg/CMakeCache.txt)
arch=$(dpkg --print-architecture)
gateway_deb=$(realpath "$out/vacuum-panel-gateway_${version}_${arch}.deb")
panel_deb=$(realpath "$out/vacuum-panel_${version}_${arch}.deb")
trend_deb=$(realpath "$out/vacuum-trend_${version}_${arch}.deb")
debs=("$gateway_deb" "$panel_deb" "$trend_deb")
packages=(vacuum-panel-gateway vacuum-panel vacuum-trend)
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
# One reason for the split: only the trend viewer needs Qt Charts.
dpkg-deb -f "$panel_deb" Depends | grep -q libqt6charts && fail "vacuum-panel depends on Qt Charts"
dpkg-deb -f "$trend_deb" Depends | grep -q libqt6charts || fail "vacuum-trend lacks Qt Charts"
for deb in "${debs[@]}"; do
    [ "$(dpkg-deb -f "$deb" Maintainer)" = "$maintainer" ] ||
        fail "$(basename "$deb"): Maintainer is not the site's ($maintainer)"
    echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, installed $(dpkg-deb -f "$deb" \
        Installed-Size) KiB; Depends: $(dpkg-deb -f "$deb" Depends)"
done
# The reason for the gateway's package: nothing of the window system, even among the packages
# its dependencies pull in (this machine has them installed, so apt's closure says it).
window_system='^(libx11|libxcb|libxkb|libqt6gui|libqt6widgets|libqt6opengl|libwayland|libgl1|libegl|libopengl)'
gateway_depends=$(dpkg-deb -f "$gateway_deb" Depends | sed 's/([^)]*)//g; s/|/,/g; s/,/ /g')
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances $gateway_depends | grep -v '^ ' | sed 's/:.*//' | sort -u)
grep -E "$window_system" <<< "$closure" && fail "the gateway's dependencies pull in the window system"
echo "vacuum-panel-gateway pulls in $(wc -l <<< "$closure") packages, none of the window system"

lintian --fail-on error "${debs[@]}"
desktop-file-validate packaging/desktop/*.desktop

# A prefix install holds the files the packages hold, under the prefix instead of /usr.
cmake --install build-pkg --prefix "$work/prefix" > /dev/null
diff <(cd "$work/prefix" && find . ! -type d | sed 's|^\./||' | sort) \
    <(for deb in "${debs[@]}"; do dpkg-deb --fsys-tarfile "$deb" | tar -t; done |
        grep -v '/$' | sed 's|^\./usr/||' | sort) ||
    fail "cmake --install and the packages differ (< prefix, > packages)"

purge
# The gateway alone first, as a plant PC without a screen gets it: neither what apt pulls in for
# it nor what the installed program loads is of the window system.
dpkg-query -W -f='${Package} ${db:Status-Status}\n' | awk '$2 == "installed" {print $1}' |
    sort > "$work/before"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$gateway_deb"
dpkg-query -W -f='${Package} ${db:Status-Status}\n' | awk '$2 == "installed" {print $1}' |
    sort | comm -13 "$work/before" - > "$work/pulled"
echo "installing vacuum-panel-gateway pulled in: $(tr '\n' ' ' < "$work/pulled")"
grep -E "$window_system" "$work/pulled" && fail "installing the gateway pulled in the window system"
ldd /usr/bin/vacuum-panel | grep -E 'libX11|libxcb|libQt6Gui|libQt6Widgets' &&
    fail "the gateway's program links the window system"
bash scripts/test-gateway-service.sh build-pkg/bin/vacuum-controller-sim ||
    fail "the gateway's service"
# Alone, the gateway has no simulated controller: --simulate is refused in one line, exit code 2.
code=0
said=$(/usr/bin/vacuum-panel --headless --simulate 2>&1 > /dev/null) || code=$?
[ "$code" -eq 2 ] && [ "$(wc -l <<< "$said")" -eq 1 ] && [[ $said == *"--simulate needs"* ]] ||
    fail "the gateway alone answered --simulate with $code: $said"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$panel_deb" "$trend_deb"
# No display here: the panel's screenshot and the trend viewer's picture are drawn offscreen.
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
# The gateway's folders are made by its scripts, not listed in the package: purged when empty.
for path in /etc/vacuum-panel /var/lib/vacuum-panel; do [ -e "$path" ] && left+=("$path"); done
[ "${#left[@]}" -eq 0 ] || fail "left behind after removal: ${left[*]}"
echo "test-packages: built, checked, installed, ran and removed ${packages[*]} $version"
