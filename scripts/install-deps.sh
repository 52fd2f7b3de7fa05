#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Safe to run again: only missing packages are installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake g++ pkg-config
  libcups2-dev libcupsimage2-dev
  libgtest-dev libbenchmark-dev libpng-dev
  time cups-ppdc cups-filters-core-drivers cups
  cups-daemon cups-client cups-filters ghostscript dpkg-dev gzip
  clang libclang-rt-14-dev valgrind
  libpappl-dev libgs-dev libqpdf-dev cups-ipp-utils libpam0g-dev python3 curl snmpd
  # PAPPL's own build, for the app's tests against PAPPL 1.4 (build-pappl.sh)
  libavahi-client-dev libgnutls28-dev libjpeg-dev libusb-1.0-0-dev zlib1g-dev
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
# The web interface test: Debian's chromium, driven from node (npm fetches
# playwright-core at test time). A node that brings its own npm is kept.
dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed" || missing+=(chromium)
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
