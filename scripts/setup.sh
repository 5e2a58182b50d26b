#!/usr/bin/env bash
# Installs what the build needs (Debian 12) and builds into build/: the
# targets given, or everything (the tool and its tests). Used by demo.sh,
# test.sh and CI.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/packages.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
