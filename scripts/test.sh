#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: CTest in the normal
# build (build/), the Debian packages made from it and checked (the CTest
# label "package"), CTest again in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-sanitize/), then the fuzz targets briefly.
# Every phase runs and reports even when an earlier one failed; the exit status
# is non-zero when any did. KESTROVA_FUZZ_SECONDS sets each fuzz target's time.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh || exit 1

summary=()
failed=0
# phase NAME COMMAND...: runs the command, timing it, and notes how it went.
phase() {
  local name=$1 start status
  shift
  echo "=== $name"
  start=$SECONDS
  "$@"
  status=$?
  local line
  line=$(printf '%-18s %5ds  %s' "$name" $((SECONDS - start)) "$([ $status -eq 0 ] && echo ok || echo FAILED)")
  summary+=("$line")
  [ $status -eq 0 ] || failed=1
  return $status
}

sanitized_build() {
  if [ ! -f build-sanitize/build.ninja ]; then
    cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKESTROVA_SANITIZE=ON -DKESTROVA_BUILD_BENCH=OFF >/dev/null || return 1
  fi
  cmake --build build-sanitize
}

if phase "build" scripts/build.sh; then
  phase "ctest" ctest --test-dir "$root/build" --output-on-failure -j2 -LE package
  phase "package" ctest --test-dir "$root/build" --output-on-failure -L package
fi
if phase "build sanitized" sanitized_build; then
  phase "ctest sanitized" ctest --test-dir "$root/build-sanitize" --output-on-failure -j2
fi
if [ -x fuzz/run.sh ]; then
  phase "fuzz" fuzz/run.sh "${KESTROVA_FUZZ_SECONDS:-15}"
fi

echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $failed
