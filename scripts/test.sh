#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -x fuzz/run.sh ]; then
  fuzz/run.sh "${KESTROVA_FUZZ_SECONDS:-15}"
fi
cd build
ctest --output-on-failure -j2
