#!/usr/bin/env bash
# End-to-end test through the real print system: a private cupsd with a
# Corvane queue (the PPD, a file: device), the sample PDF printed with lp and
# various options, and the printer stream that lands in the file checked:
# PJL lines, job preamble, page frames, raster sizes and page order.
# Usage: e2e-print.sh FILTER PPD SAMPLE.pdf PCLSUMMARY
set -uo pipefail
filter=${1:?filter} ppd=${2:?ppd} sample=${3:?sample pdf} pclsummary=${4:?pclsummary}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cupsd-lib.sh
source "$here/cupsd-lib.sh"

trap cupsd_stop EXIT
trap 'exit 130' INT TERM
cupsd_start "$filter" || exit 1
out=$CUPSD_DIR/out
mkdir -p "$out"
chmod 0777 "$out"
lpadmin -p corvane -E -v "file://$out/device.pcl" -P "$ppd" 2>/dev/null || {
    echo "lpadmin failed" >&2
    exit 1
}

passed=0 failed=0
pass() { passed=$((passed + 1)); echo "ok - $*"; }
fail() { failed=$((failed + 1)); echo "FAIL - $*"; }

# print NAME LP-OPTIONS...: prints the sample, waits for the job and keeps
# the printer stream as NAME.pcl and its summary as NAME.txt.
print() {
    local name=$1 id
    shift
    rm -f "$out/device.pcl"
    id=$(lp -d corvane -t "$name" "$@" "$sample" | sed -n 's/^request id is corvane-\([0-9]*\).*/\1/p')
    if [ -z "$id" ] || ! cupsd_wait_job "$id" 180; then
        fail "$name: job did not complete"
        return 1
    fi
    cp "$out/device.pcl" "$out/$name.pcl"
    "$pclsummary" "$out/$name.pcl" >"$out/$name.txt"
    sed -n "s/.*\[Job $id\] argv\[5\]=/  $name: the filter got /p" "$CUPSD_DIR/log/error_log"
}

# expect NAME LINE: the summary of NAME holds LINE exactly.
expect() {
    if grep -qxF -- "$2" "$out/$1.txt"; then pass "$1: $2"; else fail "$1: no line '$2'"; fi
}
# expect_count NAME PATTERN N: N summary lines match the extended regex.
expect_count() {
    local n
    n=$(grep -cE -- "$2" "$out/$1.txt")
    if [ "$n" -eq "$3" ]; then pass "$1: $3 x '$2'"; else fail "$1: $n x '$2', expected $3"; fi
}
# expect_order NAME ORDER: the page digests follow ORDER, e.g. "ABCABC"
# (equal letters: equal page images, different letters: different images).
expect_order() {
    local letters="" digest seen=() i found
    while read -r digest; do
        found=""
        for i in "${!seen[@]}"; do [ "${seen[$i]}" = "$digest" ] && found=$i; done
        if [ -z "$found" ]; then seen+=("$digest"); found=$((${#seen[@]} - 1)); fi
        letters+=$(printf "\\$(printf '%03o' $((65 + found)))")
    done < <(sed -n 's/^page [0-9]* digest //p' "$out/$1.txt")
    if [ "$letters" = "$2" ]; then pass "$1: page order $2"; else fail "$1: page order $letters, expected $2"; fi
}
# expect_pages NAME N WxH: N whole pages of raster size WxH, N form feeds,
# one reset, the closing UEL and nothing the summary could not place.
expect_pages() {
    expect_count "$1" '^page [0-9]+ raster ' "$2"
    expect_count "$1" "^page [0-9]+ raster $3\$" "$2"
    expect_count "$1" '^page [0-9]+ end ok$' "$2"
    expect "$1" "reset ok"
    expect "$1" "trailer ok"
    expect_count "$1" '^error ' 0
}
expect_header() {
    expect "$1" "escape-run 5000"
    expect "$1" "pjl @PJL COMMENT Corvane PCL driver"
    expect "$1" 'pjl @PJL JOB NAME = ""'
    expect "$1" "pjl @PJL SET RESOLUTION = 600"
    expect "$1" "pjl @PJL ENTER LANGUAGE=PCL"
}

# Raster sizes are the PPD's imageable areas (12 pt margins) at 600 dpi.
a4=4761x6816 letter=4900x6400 legal=4900x8200 a5=3296x4761 comm10=2275x5500

if print options -o media=A4 -o MediaType=Plain -o InputSlot=Tray2 -o TonerDarkness=8; then
    expect_header options
    expect options "pjl @PJL SET DENSITY = 3"
    expect options "pjl @PJL SET ECONOMODE = OFF"
    expect options "job ESC*t600R ESC&u600D ESC&l26A ESC&n6WdPlain ESC&l0E"
    # InputSlot is the source of the pages after the first.
    expect options "page 1 prefix "
    expect options "page 2 prefix ESC&l4H"
    expect options "page 3 prefix ESC&l4H"
    expect_pages options 3 "$a4"
    expect_order options ABC
fi

if print economy -o media=Letter -o TonerDarkness=2 -o MediaType=Card; then
    expect economy "pjl @PJL SET DENSITY = 2"
    expect economy "pjl @PJL SET ECONOMODE = ON"
    expect economy "job ESC*t600R ESC&u600D ESC&l2A ESC&n11WdCard Stock ESC&l0E"
    expect_pages economy 3 "$letter"
fi

if print custom -o media=Custom.400x600; then
    expect_count custom '^pjl @PJL SET (DENSITY|ECONOMODE)' 0
    expect custom "job ESC*t600R ESC&u600D ESC&l101A ESC&f5.56G ESC&f8.33F ESC&l0E"
    # CUPS hands the rasteriser 399x599 points (its own rounding of the size).
    expect_pages custom 3 3125x4792
fi

if print pwgname -o media=iso_a5_148x210mm; then
    expect pwgname "job ESC*t600R ESC&u600D ESC&l25A ESC&l0E"
    expect_pages pwgname 3 "$a5"
fi

if print pagesize -o PageSize=Legal; then
    expect pagesize "job ESC*t600R ESC&u600D ESC&l3A ESC&l0E"
    expect_pages pagesize 3 "$legal"
fi

if print envelope -o media=Comm10 -o MediaType=PrinterS -o InputSlot=EnvFeeder; then
    expect envelope "job ESC*t600R ESC&u600D ESC&l81A ESC&n9WdEnvelope ESC&l0E"
    expect envelope "page 2 prefix ESC&l6H"
    expect_pages envelope 3 "$comm10"
fi

# The print system makes the copies (manual copies): the filter receives
# every copy as pages and sends no copy count of its own.
if print uncollated -n 3 -o media=A4; then
    expect_pages uncollated 9 "$a4"
    expect_count uncollated 'ESC&l[0-9]+X' 0
    expect_order uncollated AAABBBCCC
fi

if print collated -n 3 -o collate=true -o media=A4; then
    expect_pages collated 9 "$a4"
    expect_count collated 'ESC&l[0-9]+X' 0
    expect_order collated ABCABCABC
fi

# The same page image whatever way its size was asked for.
if [ -f "$out/options.txt" ] && [ -f "$out/collated.txt" ]; then
    if [ "$(sed -n 's/^page 1 digest //p' "$out/options.txt")" = \
        "$(sed -n 's/^page 1 digest //p' "$out/collated.txt")" ]; then
        pass "A4 page 1 prints the same in every A4 job"
    else
        fail "A4 page 1 differs between jobs"
    fi
fi

if [ "$failed" -gt 0 ]; then
    echo "--- summaries of failing jobs are in $out (kept)"
    for f in "$out"/*.txt; do echo "== $f"; grep -v digest "$f" | head -n 30; done
    CUPSD_KEEP=1
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
