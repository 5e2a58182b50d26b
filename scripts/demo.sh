#!/usr/bin/env bash
# Sets everything up and starts the tool on the simulated line.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh rfid-service
exec ./build/rfid-service --demo "$@"
