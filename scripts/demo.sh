#!/usr/bin/env bash
# Prints the bundled sample document to a file: the three-page samples/sample.pdf
# goes through the real CUPS chain (cupsfilter with the Corvane PPD: CUPS's PDF
# filters make the raster, rastertocorvane the printer stream) and the result is
# written to out/sample.pcl. Where cupsfilter or CUPS's PDF-to-raster filters
# are missing, the filter runs alone on the bundled raster of the same document.
# Usage: scripts/demo.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
filter=$build/rastertocorvane
ppd=$build/ppd/corvane.ppd
out=$root/out/sample.pcl
[ -x "$filter" ] || { echo "demo: $filter is missing; build the project first" >&2; exit 1; }
mkdir -p "$(dirname "$out")"

serverbin=$( (cups-config --serverbin 2>/dev/null) || echo /usr/lib/cups)
pdf_to_raster=no
if [ -x "$serverbin/filter/pdftopdf" ] &&
    { [ -x "$serverbin/filter/gstoraster" ] || [ -x "$serverbin/filter/pdftoraster" ]; }; then
    pdf_to_raster=yes
fi

if command -v cupsfilter >/dev/null 2>&1 && [ "$pdf_to_raster" = yes ] && [ -f "$ppd" ]; then
    work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-demo.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    # cupsfilter runs the filters of its ServerBin: CUPS's own plus the one just built.
    # shellcheck source=../tests/cups/cupsd-lib.sh
    source "$root/tests/cups/cupsd-lib.sh"
    cupsd_make_serverbin "$work/serverbin" "$filter"
    echo "ServerBin $work/serverbin" >"$work/cups-files.conf"
    echo "demo: printing samples/sample.pdf through CUPS (cupsfilter, PPD $ppd)"
    if ! cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m printer/corvane -e \
        -o media=A4 -o MediaType=Plain -o TonerDarkness=8 \
        "$root/samples/sample.pdf" >"$out" 2>"$work/messages"; then
        grep -v '^DEBUG' "$work/messages" >&2 || true
        echo "demo: cupsfilter failed" >&2
        exit 1
    fi
else
    echo "demo: cupsfilter or CUPS's PDF-to-raster filters are missing;"
    echo "demo: running rastertocorvane on the bundled raster samples/sample.ras.gz"
    gzip -dc "$root/samples/sample.ras.gz" |
        "$filter" 1 "${USER:-user}" sample.pdf 1 "media=A4 MediaType=Plain TonerDarkness=8" >"$out"
fi

pages=$(LC_ALL=C grep -aoF $'\x1b*rC' "$out" | wc -l)
echo "demo: wrote $out ($(wc -c <"$out") bytes, $pages pages of PJL/PCL 5 for a Corvane printer)"
if [ -x "$build/pclinspect" ]; then
    echo "demo: to read it: $build/pclinspect --summary $out"
fi
