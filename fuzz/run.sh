#!/usr/bin/env bash
# Builds the fuzz targets (build-fuzz/, clang) and runs each for SECONDS seconds
# over its committed seed corpus. Exits non-zero when a target crashes.
#   fuzz/run.sh SECONDS
set -euo pipefail
seconds=${1:?usage: fuzz/run.sh SECONDS}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
mkdir -p "$build/artifacts"

log=$build/build.log
if ! { { [ -f "$build/build.ninja" ] ||
         cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++; } &&
       cmake --build "$build" -j2; } >"$log" 2>&1; then
  echo "fuzz: build failed; the end of $log:"
  tail -n 20 "$log"
  exit 1
fi

status=0
for target in unpack roundtrip loadgrid inifile minisign fetchstream htmlpage request; do
  exe=$build/fuzz_$target
  if [ ! -x "$exe" ]; then
    echo "fuzz_$target: not built (its sources are not there yet)"
    continue
  fi
  work=$build/corpus/$target # new finds go here, never into the committed seeds
  mkdir -p "$work"
  maxlen=()
  case $target in unpack | roundtrip) maxlen=(-max_len=40000) ;; htmlpage) maxlen=(-max_len=16384) ;; esac
  out=$build/fuzz_$target.log
  if "$exe" -max_total_time="$seconds" -print_final_stats=1 "${maxlen[@]}" \
       -artifact_prefix="$build/artifacts/$target-" "$work" "$root/fuzz/corpus/$target" >"$out" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out")
    cov=$(grep -E '^#[0-9]+' "$out" | grep -o 'cov: [0-9]*' | tail -n 1)
    echo "fuzz_$target: ${runs:-?} runs in ${seconds}s, ${cov:-cov: ?}, no crash"
  else
    echo "fuzz_$target: FAILED; see $out"
    grep -m 6 -E 'ERROR|SUMMARY|Test unit written|==[0-9]+==' "$out" || tail -n 6 "$out"
    status=1
  fi
done
exit $status
