#!/usr/bin/env bash
# Sets everything up and starts the tool on the simulated line. Meant for the
# technician's own user: sudo is used only to install missing packages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh rfid-service
if [ "$(id -u)" -eq 0 ]; then
    echo "Note: the window runs as root here; the tool needs no root rights, start it as your own user." >&2
fi
exec ./build/rfid-service --demo "$@"
