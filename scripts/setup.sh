#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Vorlog needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
PKGS=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev gstreamer1.0-plugins-good
  libsimpleini-dev
  libgtest-dev googletest libgmock-dev libbenchmark-dev
  fonts-dejavu-core xvfb xauth x11-apps imagemagick poppler-utils
  jpnevulator
  python3 tshark tzdata
  dpkg-dev openssl
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
