#!/usr/bin/env bash
# Builds the Debian package into build-deb/ with the compiler and linker
# flags Debian builds its own packages with, and checks it with lintian.
# Run as your own user; sudo is used only to install missing packages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/packages.sh lintian

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
# Build type None: the flags above are the whole optimisation and debug choice.
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF \
      -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack)

deb=$(ls build-deb/rfid-service_*.deb)
lintian --fail-on error,warning "$deb"
echo "Built $deb"
