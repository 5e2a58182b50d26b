#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (and any given
# as arguments), those missing only. Run as the technician's own user: sudo
# is called only when something is missing; as root it is not needed.
set -euo pipefail

# --tests: also what only the tests need: ser2net, the real serial-to-network
# server the gateway tests run in front of the simulated line. It is no
# dependency of the program or its package.
test_only=()
if [ "${1:-}" = "--tests" ]; then
    shift
    test_only=(ser2net)
fi

packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev libgtest-dev
          qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core dpkg-dev
          # The charts of the line diagnostics; Debian 12's qt6-charts-dev does not pull in
          # the Qt OpenGL headers its CMake files need.
          qt6-charts-dev libqt6opengl6-dev "${test_only[@]}" "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "Install them as root (apt-get install ${missing[*]}), or install sudo, then run again." >&2
        exit 1
    fi
    as_root=(sudo)
fi
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
# The tests start ser2net themselves, with their own configuration. Debian
# starts its service on installation, and its default configuration names
# /dev/ttyS0 (often the machine's console): the service is stopped and not
# started again at boot.
if [[ " ${missing[*]} " == *" ser2net "* ]] && command -v systemctl >/dev/null \
        && [ -d /run/systemd/system ]; then
    "${as_root[@]}" systemctl disable --now ser2net >/dev/null 2>&1 || true
fi
