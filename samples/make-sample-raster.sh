#!/usr/bin/env bash
# Writes sample.ras.gz: sample.pdf rasterised by CUPS as the filter receives
# it (A4, 600 dpi, 24-bit RGB), as a compressed PWG raster stream, gzipped.
# It lets the demo run the filter where CUPS's PDF filters are missing.
# Usage: samples/make-sample-raster.sh PPD [output.ras.gz]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
ppd=${1:?usage: make-sample-raster.sh PPD [output.ras.gz]}
out=${2:-"$here/sample.ras.gz"}
cupsfilter -p "$ppd" -m image/pwg-raster -o media=A4 "$here/sample.pdf" 2>/dev/null | gzip -9n > "$out"
echo "wrote $out"
