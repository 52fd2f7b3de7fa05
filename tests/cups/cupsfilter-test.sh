#!/usr/bin/env bash
# Runs the whole CUPS filter chain for the Corvane PPD with cupsfilter (PDF to
# raster by CUPS's own filters, then rastertocorvane) and checks the printer
# stream and the status lines the filter reports to the print system.
# Usage: cupsfilter-test.sh FILTER PPD SAMPLE.pdf PCLSUMMARY
set -uo pipefail
filter=${1:?filter} ppd=${2:?ppd} sample=${3:?sample pdf} pclsummary=${4:?pclsummary}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cupsd-lib.sh
source "$here/cupsd-lib.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-cupsfilter.XXXXXX")
trap 'rm -rf "$work"' EXIT
# cupsfilter finds filters in the ServerBin of the configuration it is given.
cupsd_make_serverbin "$work/serverbin" "$filter"
echo "ServerBin $work/serverbin" >"$work/cups-files.conf"

passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)); echo "ok - $what"; else failed=$((failed + 1)); echo "FAIL - $what"; fi
}

cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m printer/corvane -e \
    -o media=A4 -o MediaType=Bond -o InputSlot=Tray3 -o TonerDarkness=10 \
    "$sample" >"$work/out.pcl" 2>"$work/err.txt"
check "cupsfilter exits 0" test $? -eq 0
"$pclsummary" "$work/out.pcl" >"$work/summary.txt"
has() { grep -qxF -- "$1" "$2"; }
check "density line" has "pjl @PJL SET DENSITY = 5" "$work/summary.txt"
check "economy mode off" has "pjl @PJL SET ECONOMODE = OFF" "$work/summary.txt"
check "job preamble" has "job ESC*t600R ESC&u600D ESC&l26A ESC&n5WdBond ESC&l0E" "$work/summary.txt"
check "three A4 pages" test "$(grep -c '^page [0-9] raster 4761x6816$' "$work/summary.txt")" -eq 3
check "three page ends" test "$(grep -c '^page [0-9] end ok$' "$work/summary.txt")" -eq 3
check "closing UEL" has "trailer ok" "$work/summary.txt"
# Status lines: the print system counts each page the printer prints once.
for page in 1 2 3; do
    check "status line PAGE: $page 1" has "PAGE: $page 1" "$work/err.txt"
done
check "no error lines" test "$(grep -c '^ERROR: ' "$work/err.txt")" -eq 0

if [ "$failed" -gt 0 ]; then
    echo "--- summary"; cat "$work/summary.txt"
    echo "--- cupsfilter messages"; grep -v '^DEBUG' "$work/err.txt" | head -n 40
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
