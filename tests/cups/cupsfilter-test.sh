#!/usr/bin/env bash
# Runs the whole CUPS filter chain for the Corvane PPD with cupsfilter (PDF to
# raster by CUPS's own filters, then rastertocorvane) and checks the printer
# stream and the status lines the filter reports to the print system.
# Usage: cupsfilter-test.sh FILTER PPD SAMPLE.pdf PCLINSPECT
set -uo pipefail
filter=${1:?filter} ppd=${2:?ppd} sample=${3:?sample pdf} PCLINSPECT=${4:?pclinspect}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cupsd-lib.sh
source "$here/cupsd-lib.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-cupsfilter.XXXXXX")
trap 'rm -rf "$work"' EXIT
# cupsfilter finds filters in the ServerBin of the configuration it is given.
cupsd_make_serverbin "$work/serverbin" "$filter"
echo "ServerBin $work/serverbin" >"$work/cups-files.conf"

cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m printer/corvane -e \
    -o media=A4 -o MediaType=Bond -o InputSlot=Tray3 -o TonerDarkness=10 \
    "$sample" >"$work/out.pcl" 2>"$work/err.txt"
check "cupsfilter exits 0" test $? -eq 0
inspect "$work/out"
expect_job "$work/out" "DENSITY=5, ECONOMODE=OFF" 'page size A4 (26); media type "Bond"'
expect_pages "$work/out" 3 4761x6816
# Status lines: the print system counts each page the printer prints once.
for page in 1 2 3; do
    check "status line PAGE: $page 1" grep -qxF "PAGE: $page 1" "$work/err.txt"
done
check "no error lines" test "$(grep -c '^ERROR: ' "$work/err.txt")" -eq 0

if [ "$failed" -gt 0 ]; then
    echo "--- summary"; cat "$work/out.txt"
    echo "--- cupsfilter messages"; grep -v '^DEBUG' "$work/err.txt" | head -n 40
fi
finish
