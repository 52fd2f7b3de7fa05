#!/usr/bin/env bash
# End-to-end test through the real print system: a private cupsd with a
# Corvane queue (the PPD, a file: device), the sample PDF printed with lp and
# various options, and the printer stream that lands in the file read back
# with pclinspect: PJL settings, job preamble, paper source, pages, raster
# sizes.
# Usage: e2e-print.sh FILTER PPD SAMPLE.pdf PCLINSPECT
set -uo pipefail
[ $# -eq 4 ] || { echo "usage: e2e-print.sh FILTER PPD SAMPLE.pdf PCLINSPECT" >&2; exit 2; }
read -r filter ppd sample PCLINSPECT < <(realpath "$@" | paste -sd ' ')
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cupsd-lib.sh
source "$here/cupsd-lib.sh"

trap cupsd_stop EXIT
trap 'exit 130' INT TERM
cupsd_start "$filter" || exit 1
out=$CUPSD_DIR/out
mkdir -p "$out" && chmod 0777 "$out" && cd "$out" || exit 1
lpadmin -p corvane -E -v "file://$out/device.pcl" -P "$ppd" 2>/dev/null || { echo "lpadmin failed" >&2; exit 1; }

# print NAME LP-OPTIONS...: prints the sample, waits for the job and keeps
# the printer stream as NAME.pcl and its summary as NAME.txt.
print() {
    local name=$1 id
    shift
    rm -f device.pcl
    id=$(lp -d corvane -t "$name" "$@" "$sample" | sed -n 's/^request id is corvane-\([0-9]*\).*/\1/p')
    check "$name: job completes" cupsd_wait_job "$id" 180 || return 1
    mv device.pcl "$name.pcl" && inspect "$name"
    sed -n "s/.*\[Job $id\] argv\[5\]=/  $name: the filter got /p" "$CUPSD_DIR/log/error_log"
}

# Raster sizes are the PPD's imageable areas (12 pt margins) at 600 dpi.
a4=4761x6816 a5=3296x4761 comm10=2275x5500

if print options -o media=A4 -o MediaType=Plain -o InputSlot=Tray2 -o TonerDarkness=8; then
    expect_job options "DENSITY=3, ECONOMODE=OFF" 'page size A4 (26); media type "Plain"; paper source lower tray (4)'
    # Every page, the first included, takes the tray, sent with each of them.
    expect_count options "^page [123]: .*, source [a-z -]+ \\(4\\) \\(sent for this page\\), " 3
    expect_pages options 3 "$a4"
fi

if print custom -o media=Custom.400x600; then
    expect_job custom "" "page size custom (101); custom page width 5.56 in; custom page length 8.33 in"
    # CUPS hands the rasteriser 399x599 points (its own rounding of the size).
    expect_pages custom 3 3125x4792
fi

if print pwgname -o media=iso_a5_148x210mm; then
    expect_job pwgname "" "page size A5 (25)"
    expect_pages pwgname 3 "$a5"
fi

if print envelope -o media=Comm10 -o MediaType=PrinterS -o InputSlot=EnvFeeder; then
    expect_job envelope "" 'page size Com-10 envelope (81); media type "Envelope"; paper source envelope feeder (6)'
    expect_count envelope "^page [123]: .*, source [a-z -]+ \\(6\\) \\(sent for this page\\), " 3
    expect_pages envelope 3 "$comm10"
fi

# The print system makes the copies (manual copies): the filter receives
# every copy as pages and sends no copy count of its own.
if print collated -n 3 -o collate=true -o media=A4; then
    expect_pages collated 9 "$a4"
fi

if [ "$failed" -gt 0 ]; then
    echo "--- summaries of the jobs are in $out (kept)"
    for f in *.txt; do echo "== $f"; cat "$f"; done
    CUPSD_KEEP=1
fi
finish
