#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, those missing only.
set -euo pipefail

packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev libgtest-dev
          qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core dpkg-dev "$@")
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
