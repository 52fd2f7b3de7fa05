#!/usr/bin/env bash
# Builds a PAPPL release from its source tarball as a static library,
# installed into a folder of its own, for building the app against it:
#   scripts/build-pappl.sh TARBALL DIR
#   PKG_CONFIG_PATH=DIR/lib/pkgconfig cmake -S . -B build-other ...
# Nothing is done when DIR already holds that release (DIR/.built names the
# tarball's checksum). Needs Debian's libcups2-dev, libavahi-client-dev,
# libgnutls28-dev, libjpeg-dev, libpng-dev, libusb-1.0-0-dev, libpam0g-dev,
# zlib1g-dev (scripts/install-deps.sh installs them).
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 TARBALL DIR" >&2; exit 2; }
tarball=$(realpath "$1")
mkdir -p "$2"
dir=$(realpath "$2")
sum=$(sha256sum "$tarball" | cut -d' ' -f1)
if [ "$(cat "$dir/.built" 2>/dev/null)" = "$sum" ] && [ -f "$dir/lib/pkgconfig/pappl.pc" ]; then
  echo "PAPPL already built in $dir"
  exit 0
fi
rm -rf "$dir/source" "$dir/lib" "$dir/include" "$dir/.built"
mkdir -p "$dir/source"
tar -xzf "$tarball" -C "$dir/source" --strip-components=1
cd "$dir/source"
./configure --prefix="$dir" --disable-shared --enable-static --with-tls=gnutls >"$dir/configure.log" 2>&1 ||
  { tail -n 30 "$dir/configure.log" >&2; exit 1; }
nice make -C pappl -j"${JOBS:-2}" >"$dir/make.log" 2>&1 || { tail -n 30 "$dir/make.log" >&2; exit 1; }
make -C pappl install >>"$dir/make.log" 2>&1 || { tail -n 30 "$dir/make.log" >&2; exit 1; }
echo "$sum" >"$dir/.built"
echo "PAPPL $(PKG_CONFIG_PATH=$dir/lib/pkgconfig pkg-config --modversion pappl) built in $dir"
