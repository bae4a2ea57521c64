#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages from a clean Release build of the programs alone (no tests, no
# benchmarks) in build-pkg/, and writes vacuum-panel_<version>_<arch>.deb and
# vacuum-trend_<version>_<arch>.deb into build-pkg/packages/ (or the folder given as $1).
# The packages' Maintainer is VP_PACKAGE_MAINTAINER if set, else "$DEBFULLNAME <$DEBEMAIL>" as
# Debian's own tools take it, else the project's.
set -euo pipefail
cd "$(dirname "$0")/.."
build="build-pkg"
out=$(realpath -m "${1:-$build/packages}")
rm -rf "$build"

# Debian's own hardening flags, so the programs are built as Debian builds its packages. Without
# -g: CPack strips the programs, and the debug information only slows the build.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS

# A compiler cache, where there is one, makes a second packaging of the same sources quick.
launcher=()
if command -v ccache > /dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
maintainer=${VP_PACKAGE_MAINTAINER:-}
if [ -z "$maintainer" ] && [ -n "${DEBFULLNAME:-}" ] && [ -n "${DEBEMAIL:-}" ]; then
    maintainer="$DEBFULLNAME <$DEBEMAIL>"
fi
site=()
if [ -n "$maintainer" ]; then site=("-DVP_PACKAGE_MAINTAINER=$maintainer"); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVP_TEST_DIRS= -DVP_BENCH=OFF \
    "${launcher[@]}" "${site[@]}"
nice -n 10 cmake --build "$build"
mkdir -p "$out"
(cd "$build" && cpack -B "$out")
rm -rf "$out/_CPack_Packages"
ls -l "$out"/*.deb
