#!/usr/bin/env bash
# Sets everything up and runs every test (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/packages.sh --tests
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
