#!/usr/bin/env bash
# Writes, in the current folder, every document an ipptool suite names with
# FILE (its INCLUDEs followed), since ipptool stops while reading the suite
# when one is missing. Documents the printer takes are real and made from
# the sample PDF with Ghostscript: the PDFs, the JPEGs and the 600 dpi PWG
# rasters in 8-bit gray and 24-bit sRGB. The others (PostScript, rasters at
# resolutions or in colour layouts the printer does not offer) are empty:
# the suite skips their tests.
# Usage: make-ipp-samples.sh SAMPLE.pdf SUITE.test
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: make-ipp-samples.sh SAMPLE.pdf SUITE.test" >&2; exit 2; }
sample=$(realpath "$1") suite=$2

# suite_files TEST: the FILE names of TEST and of the files it includes.
suite_files() {
    local test=$1 dir inc
    dir=$(dirname "$test")
    awk '$1 == "FILE" && $2 !~ /^\$/ { print $2 }' "$test"
    for inc in $(awk '$1 == "INCLUDE" { gsub(/[<>"]/, "", $2); print $2 }' "$test"); do
        suite_files "$dir/$inc"
    done
}

# Ghostscript's raster device reports each page as INFO lines: only errors are shown.
gs_run() { gs -q -dSAFER -dBATCH -dNOPAUSE "$@" 2> >(grep -v "^INFO: " >&2); }

# raster OUT TYPE WIDTH HEIGHT PDF [PAGE]: a 600 dpi PWG raster of PDF (one
# PAGE of it when given) fitted to WIDTH x HEIGHT points.
raster() {
    local out=$1 type=$2 width=$3 height=$4 pdf=$5 page=${6:-}
    gs_run -sDEVICE=pwgraster -r600 -dcupsColorSpace=$([ "$type" = sgray-8 ] && echo 18 || echo 19) -dcupsBitsPerColor=8 \
        -dDEVICEWIDTHPOINTS="$width" -dDEVICEHEIGHTPOINTS="$height" -dFIXEDMEDIA -dPDFFitPage \
        ${page:+-dFirstPage=$page -dLastPage=$page} -sOutputFile="$out" "$pdf"
}

names=$(suite_files "$suite" | sort -u)
[ -n "$names" ] || { echo "no FILE names found in $suite" >&2; exit 1; }
for name in $names; do mkdir -p "$(dirname "$name")" && : >"$name"; done

cp "$sample" document-letter.pdf
gs_run -sDEVICE=pdfwrite -sPAPERSIZE=a4 -dFIXEDMEDIA -dPDFFitPage \
    -sOutputFile=document-a4.pdf "$sample"
gs_run -sDEVICE=jpeg -r100 -dFirstPage=1 -dLastPage=1 -sOutputFile=color.jpg "$sample"
gs_run -sDEVICE=jpeggray -r100 -dFirstPage=1 -dLastPage=1 -sOutputFile=gray.jpg "$sample"

# Two Ghostscript runs at a time: each is single-threaded.
for type in sgray-8 srgb-8; do
    dir=pwg-raster-samples-600dpi/$type
    for name in $names; do
        [ "$(dirname "$name")" = "$dir" ] || continue
        case $(basename "$name") in
            color.jpg-4x6-*|gray.jpg-4x6-*) echo "$name $type 288 432 $sample 1" ;;
            document-a4-*) echo "$name $type 595 842 document-a4.pdf" ;;
            document-letter-*) echo "$name $type 612 792 document-letter.pdf" ;;
            onepage-a4-*) echo "$name $type 595 842 document-a4.pdf 1" ;;
            onepage-letter-*) echo "$name $type 612 792 document-letter.pdf 1" ;;
            *) echo "no recipe for $name" >&2; exit 1 ;;
        esac
    done
done >raster-recipes.txt
export -f raster gs_run
xargs -P 2 -L 1 bash -c 'raster "$@"' raster <raster-recipes.txt
rm raster-recipes.txt
