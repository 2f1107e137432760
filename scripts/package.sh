#!/usr/bin/env bash
# Builds the Debian packages kestrova (the game) and kestrova-server.
#   scripts/package.sh [--build-dir DIR] [OUTPUT-FOLDER]
# Without --build-dir it configures a Release build of its own in
# build-package/ (install prefix /usr, no tests or benchmarks) and builds it;
# with --build-dir it packages that build tree as it is. The packages land in
# OUTPUT-FOLDER, by default the build tree's packages/ folder, and their paths
# are printed. KESTROVA_SERVER_HOST, when set, is the server host built into
# the game of build-package/; without it (or -DKESTROVA_SERVER_HOST= in a
# build tree of your own) the packages name this machine as the maker's web
# site, and a line on stderr says so.
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

# The homepage and the screenshot follow the server host built into the game;
# a build that names none gets localhost, a page no user's machine serves.
homepage=$(sed -n 's/^set(CPACK_PACKAGE_HOMEPAGE_URL "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
screenshot=$(sed -n 's|.*<image>\(.*\)</image>.*|\1|p' "$build/packaging/com.vorlinsoftware.kestrova.metainfo.xml" 2>/dev/null || true)
local_url='^[a-z]+://(localhost|127\.[0-9.]+|\[::1\])([:/]|$)'
if [[ $homepage =~ $local_url || $screenshot =~ $local_url ]]; then
  echo "package.sh: warning: no server host given: the packages name $homepage as their homepage and $screenshot as their screenshot; set KESTROVA_SERVER_HOST=HOST (or -DKESTROVA_SERVER_HOST=HOST in the build tree)" >&2
fi
