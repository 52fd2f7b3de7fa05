#!/usr/bin/env bash
# PDF, JPEG and PNG jobs complete and decode with pclinspect with the
# pages they should have; a PDF's first page reaches the device before
# Ghostscript has rendered the last page. (Rasters the printer does not take
# and damaged PDFs are in hostile.sh.)
# Usage: formats.sh BUILD_DIR SAMPLES_DIR
set -euo pipefail
build=$1 samples=$2
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
trap 'app_stop || exit 1' EXIT
work=$APP_DIR
app_add_printer corvane "file://$work/out?ext=pcl"

pages_of() {  # NAME FILE PAGES [submit options...]
  local name=$1 file=$2 pages=$3 id got; shift 3
  id=$(app_submit corvane "$file" -t "$name" "$@")
  app_expect_job corvane "$id" completed 120
  got=$(app_pages "$work/out/$name.pcl")
  [ "$got" = "$pages" ] || { echo "$name: $got pages, expected $pages"; exit 1; }
}

gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r40 -dLastPage=1 -sOutputFile="$work/page.png" "$samples/sample.pdf"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=jpeggray -r40 -dLastPage=1 -sOutputFile="$work/page.jpg" "$samples/sample.pdf"

pages_of pdf "$samples/sample.pdf" 3
pages_of pdf-copies-range "$samples/sample.pdf" 4 -o copies=2 -o page-ranges=2-3
pages_of pdf-gray "$samples/sample.pdf" 3 -o print-color-mode=monochrome -o media=iso_a4_210x297mm
pages_of jpeg "$work/page.jpg" 2 -o copies=2
pages_of png "$work/page.png" 1

# Every page of the A4 job has PAPPL's A4 size in pixels at 600 dpi
# (210 x 297 mm, rounded down), whatever size Ghostscript rendered it at.
sizes=$("$PCLINSPECT" "$work/out/pdf-gray.pcl" | grep -c "raster 4960 x 7015 pixels")
[ "$sizes" = 3 ] || { echo "pdf-gray: $sizes of 3 pages at 4960 x 7015"; exit 1; }

# Streaming: in the first PDF job, page 1 was sent before Ghostscript ended.
awk '/\[Job 1\] Page 1 sent to the printer/ { sent = 1 } /\[Job 1\] Ghostscript finished/ { ended = 1; exit }
     END { exit !(sent && ended) }' "$APP_LOG" || { echo "page 1 did not leave before the rendering ended"; exit 1; }
