#!/usr/bin/env bash
# Builds the Debian packages kestrova (the game) and kestrova-server.
#   scripts/package.sh [--build-dir DIR] [OUTPUT-FOLDER]
# Without --build-dir it configures a Release build of its own in
# build-package/ (install prefix /usr, no tests or benchmarks) and builds it;
# with --build-dir it packages that build tree as it is. The packages land in
# OUTPUT-FOLDER, by default the build tree's packages/ folder, and their paths
# are printed. KESTROVA_SERVER_HOST, when set, is the server host built into
# the game of build-package/.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/package.sh [--build-dir DIR] [OUTPUT-FOLDER]" >&2
  exit 2
}

build=""
out=""
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
    --build-dir=*) build=${1#--build-dir=}; shift ;;
    -h|--help) usage ;;
    -*) usage ;;
    *) [ -z "$out" ] || usage; out=$1; shift ;;
  esac
done

if [ -z "$build" ]; then
  build=build-package
  options=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKESTROVA_BUILD_TESTS=OFF -DKESTROVA_BUILD_BENCH=OFF)
  if [ -n "${KESTROVA_SERVER_HOST:-}" ]; then
    options+=("-DKESTROVA_SERVER_HOST=$KESTROVA_SERVER_HOST")
  fi
  # Debian's hardening flags (fortified functions, full RELRO, PIE), as a
  # package built by the distribution would have them. CMake reads the
  # variables on the first configure only.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
  export CXXFLAGS LDFLAGS
  cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
  cmake --build "$build"
elif [ ! -f "$build/CPackConfig.cmake" ]; then
  echo "package.sh: $build is not a configured build tree" >&2
  exit 1
fi

build=$(cd "$build" && pwd)
out=${out:-$build/packages}
mkdir -p "$out"
out=$(cd "$out" && pwd)
# The staging folder goes beside the packages and away again afterwards.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  exit 1
}
rm -rf "$out/_CPack_Packages" "$out/cpack.log"
ls "$out"/kestrova_*.deb "$out"/kestrova-server_*.deb
