#!/usr/bin/env bash
# Installs what building and testing the program needs on Debian 12.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql postgresql qt6-serialport-dev libqcustomplot-dev libgl-dev
    libsqlite3-dev sqlite3 libbenchmark-dev clang libclang-rt-14-dev
    xvfb xauth fonts-dejavu-core clang-format poppler-utils
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
