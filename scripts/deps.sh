#!/usr/bin/env bash
# Installs everything the panel, its simulator, tests and benchmarks need, from Debian's packages.
# Safe to run again: apt-get only installs what is missing.
set -euo pipefail
PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev qt6-charts-dev
    libbenchmark-dev
    libmosquitto-dev mosquitto mosquitto-clients openssl
    libsqlite3-dev sqlite3
    clang-14 libclang-rt-14-dev
    xvfb xauth fonts-dejavu-core fonts-liberation2
    dpkg-dev file lintian desktop-file-utils
)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y "${missing[@]}"
fi
