#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that Kestrova needs to build, run and test.
# Idempotent: when everything is present it only checks, which takes a second.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkgconf
  qt6-base-dev qt6-base-private-dev qt6-multimedia-dev libpulse-dev
  libcurl4-openssl-dev libboost-dev libsqlite3-dev libpq-dev postgresql
  libsodium-dev minisign
  libgtest-dev libbenchmark-dev liblz4-dev zlib1g-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick openbox
  libxcb1-dev libxcb-damage0-dev libxcb-xtest0-dev
  nginx python3
  fonts-liberation2 fonts-dejavu-core
  dpkg-dev file lintian desktop-file-utils appstream systemd librsvg2-bin fakeroot
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
