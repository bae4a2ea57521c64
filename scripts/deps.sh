#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs everything the panel, its simulator, tests and benchmarks need, from Debian's packages.
# Safe to run again: apt-get only installs what is missing.
set -euo pipefail
PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev qt6-charts-dev
    libbenchmark-dev
    libmosquitto-dev libssl-dev mosquitto mosquitto-clients openssl
    libsystemd-dev
    libsqlite3-dev sqlite3
    clang-14 libclang-rt-14-dev
    xvfb xauth fonts-dejavu-core fonts-liberation2
    dpkg-dev file lintian desktop-file-utils systemd
    chromium
)
# The web page's MQTT client and its tests' browser driver come from npm: Debian's Node.js and npm,
# unless the machine has its own (a Node.js from elsewhere brings its own npm and conflicts with
# Debian's).
command -v node >/dev/null || PACKAGES+=(nodejs)
command -v npm >/dev/null || PACKAGES+=(npm)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y "${missing[@]}"
fi
