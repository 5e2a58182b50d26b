#!/usr/bin/env bash
# Installs what the build needs (Debian 12) and builds the tool and its tests
# into build/. Used by demo.sh, test.sh and CI.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev libgtest-dev
          fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
cmake --build build -j"$(nproc)"
