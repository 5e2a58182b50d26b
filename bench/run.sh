#!/usr/bin/env bash
# Builds the benchmark in a Release build directory and runs it.
#   bash bench/run.sh [rfid_bench options]
# BUILD_DIR chooses the build directory (default: build-bench in the checkout).
# Xvfb and the xcb headers are used when installed (Debian: xvfb, libxcb1-dev);
# without them the figures are taken on the offscreen platform.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build-bench}"

started=$(date +%s)
cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD_DIR" --target rfid_bench -j"${JOBS:-2}"
built=$(date +%s)
echo "Build: $((built - started)) s"
echo

"$BUILD_DIR/bench/rfid_bench" "$@"
