#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: run it in a virtual display with  xvfb-run -a -s \"-screen 0 1280x800x24\" build/bin/kestrova" >&2
  exit 1
fi
exec build/bin/kestrova
