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
  libpappl-dev cups-ipp-utils python3
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
