#!/usr/bin/env bash
# The app prints a PWG raster job to a file:// device; the bytes must equal
# what rastertocorvane writes for the same raster with the options a CUPS
# queue would pass for the same settings. A gray (sgray_8) job must come out
# as the filter's bytes for the RGB expansion of its rows; collated copies
# as the filter's for the pages repeated. On a network printer that talks
# back the filter's bytes sit unchanged between the app's own PJL blocks;
# with the one-way driver they are all the printer gets.
# Usage: same-bytes.sh BUILD_DIR SAMPLES_DIR GRAY_TO_RGB
set -euo pipefail
build=$1 samples=$2 grayToRgb=$3
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
trap 'app_stop || exit 1' EXIT
work=$APP_DIR
app_add_printer corvane "file://$work/out?ext=pcl"

# same_bytes FILE RASTER FILTER_RASTER FILTER_OPTIONS APP_OPTIONS...: the
# app's job of RASTER with APP_OPTIONS, in out/FILE.pcl, holds the bytes the
# filter writes for FILTER_RASTER with FILTER_OPTIONS (kept in filter.pcl).
same_bytes() {
  local file=$1 raster=$2 filter_raster=$3 options=$4 id; shift 4
  id=$(${submit:-app_submit} corvane "$raster" "$@")
  app_expect_job corvane "$id" completed
  "$build/rastertocorvane" 1 user title 1 "$options" <"$filter_raster" >"$work/filter.pcl"
  cmp "$work/out/$file.pcl" "$work/filter.pcl"
}
name=com.apple.print.JobInfo.PMJobName

# 1. The bundled sample: A4 sRGB 600 dpi, three pages.
gzip -dc "$samples/sample.ras.gz" >"$work/color.pwg"
same_bytes "Quarterly report" "$work/color.pwg" "$work/color.pwg" \
  "media=A4 InputSlot=Tray2 MediaType=Letterhead TonerDarkness=4 $name='Quarterly report'" -t "Quarterly report" \
  -o media=iso_a4_210x297mm -o media-source=tray-2 -o media-type=stationery-letterhead -o toner-darkness=dark -o toner-save=true

# 2. A gray raster of a custom size (4 x 6 in), manual feed, card stock,
# lightest density at full toner, and a job name outside ASCII.
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pwgraster -r600 -dcupsColorSpace=18 -dcupsBitsPerColor=8 \
  -dDEVICEWIDTHPOINTS=288 -dDEVICEHEIGHTPOINTS=432 -dFIXEDMEDIA -dPDFFitPage -dLastPage=2 \
  -sOutputFile="$work/gray.pwg" "$samples/sample.pdf" 2>/dev/null
"$grayToRgb" <"$work/gray.pwg" >"$work/gray-as-rgb.pwg"
title=$'Fiche B\xc3\xbcro \xc3\xa9t\xc3\xa9'
# The filter reads option text as Mac OS Roman: the same name in that
# encoding. The file device writes bytes outside ASCII in file names as '_'.
same_bytes "$(printf '%s' "$title" | LC_ALL=C tr '\200-\377' '_')" "$work/gray.pwg" "$work/gray-as-rgb.pwg" \
  "media=Custom.288x432 InputSlot=ManualPaper MediaType=Card TonerDarkness=6 $name='$(iconv -f UTF-8 -t MACINTOSH <<<"$title")'" \
  -t "$title" -o media=na_index-4x6_4x6in -o media-source=manual -o media-type=cardstock -o toner-darkness=lightest -o toner-save=false
grep -q "@PJL JOB NAME = \"$title\"" "$work/filter.pcl"

# 3. Copies of a raster document, which PAPPL hands over once: collated,
# the filter's stream for the pages three times over, under its collated
# copy command; uncollated, the pages once, each with the copy count.
settings="com.apple.print.PrintSettings"
{ cat "$work/gray-as-rgb.pwg"; tail -c +5 "$work/gray-as-rgb.pwg"; tail -c +5 "$work/gray-as-rgb.pwg"; } >"$work/three.pwg"
same_bytes Collated "$work/gray.pwg" "$work/three.pwg" \
  "media=Custom.288x432 $settings.PMCopies..n.=3 $settings.PMCopyCollate..b.=true $name=Collated" \
  -t Collated -o media=na_index-4x6_4x6in -o copies=3
# PAPPL 1.4's submit subcommand leaves multiple-document-handling out of the
# request it sends: this job goes to the server through ipptool.
submit_uncollated() {  # PRINTER FILE: prints the job id
  ipptool -c -f "$2" "$APP_URI/ipp/print/$1" "$(ipp_request uncollated Print-Job \
    ' ATTR mimeMediaType document-format image/pwg-raster\n ATTR name job-name Uncollated
 GROUP job-attributes-tag\n ATTR keyword media na_index-4x6_4x6in\n ATTR integer copies 3
 ATTR keyword multiple-document-handling separate-documents-uncollated-copies\n FILE $filename\n DISPLAY job-id')" |
    grep -E '^[0-9]+$'
}
submit=submit_uncollated same_bytes Uncollated "$work/gray.pwg" "$work/gray-as-rgb.pwg" \
  "media=Custom.288x432 $settings.PMCopies..n.=3 $settings.PMCopyCollate..b.=false $name=Uncollated"

# A name with a quote and a tab: the same PJL name from both front ends
# (the quote an apostrophe, the tab a space).
same_bytes 'Quoted "3" tab' "$work/gray.pwg" "$work/gray-as-rgb.pwg" \
  "media=Custom.288x432 $name='Quoted \"3\"	tab'" -t $'Quoted "3"\ttab' -o media=na_index-4x6_4x6in
grep -q "@PJL JOB NAME = \"Quoted '3' tab\"" "$work/filter.pcl"

# 4. Settings left to the printer (none given, or auto): no source, type or
# toner commands, although trays hold paper of the job's size. A second job
# of the same name gets a file of its own.
same_bytes Defaults "$work/color.pwg" "$work/color.pwg" "media=Letter $name=Defaults" -t Defaults -o media=na_letter_8.5x11in
same_bytes Defaults-2 "$work/color.pwg" "$work/color.pwg" "media=A4 $name=Defaults" -t Defaults \
  -o media=iso_a4_210x297mm -o media-source=auto -o media-type=auto

# 5. A PDF job: the bytes of the filter for Ghostscript's own rendering of
# the same pages, page 2 to 3 on Letter.
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pwgraster -r600 -dcupsColorSpace=19 -dcupsBitsPerColor=8 \
  -dDEVICEWIDTHPOINTS=612 -dDEVICEHEIGHTPOINTS=792 -dFIXEDMEDIA -dPDFFitPage -dFirstPage=2 -dLastPage=3 \
  -sOutputFile="$work/pdf.pwg" "$samples/sample.pdf" 2>/dev/null
same_bytes Rendered "$samples/sample.pdf" "$work/pdf.pwg" "media=Letter $name=Rendered" -t Rendered \
  -o media=na_letter_8.5x11in -o page-ranges=2-3

# 6. The whole document twice: the second job uses the renderer the first
# one left started. Both hold the filter's bytes for Ghostscript's pages.
letter_pwg() {  # letter_pwg PDF OUT COLOUR-SPACE [gs options...]: Ghostscript's Letter raster of PDF
  local pdf=$1 out=$2 space=$3; shift 3
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pwgraster -r600 -dcupsColorSpace="$space" -dcupsBitsPerColor=8 \
    -dDEVICEWIDTHPOINTS=612 -dDEVICEHEIGHTPOINTS=792 -dFIXEDMEDIA -dPDFFitPage "$@" -sOutputFile="$out" "$pdf" 2>/dev/null
}
letter_pwg "$samples/sample.pdf" "$work/whole.pwg" 19
for job in Whole Whole-2; do
  same_bytes $job "$samples/sample.pdf" "$work/whole.pwg" "media=Letter $name=Whole" -t Whole \
    -o media=na_letter_8.5x11in
done
# A one-page document.
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dLastPage=1 -sOutputFile="$work/one.pdf" "$samples/sample.pdf"
letter_pwg "$work/one.pdf" "$work/one.pwg" 19
same_bytes One "$work/one.pdf" "$work/one.pwg" "media=Letter $name=One" -t One -o media=na_letter_8.5x11in

# 7. Pages with a smooth shading (the first and the last) between pages
# without: the renderer draws them on Ghostscript's cups device, whose
# pages are those of its pwgraster device, in colour and in gray. Both jobs
# are long enough for two renderers on two cores; in the second one (pages
# 2 to 5) the second renderer has the shaded page.
shading='<< /PageSize [612 792] >> setpagedevice << /ShadingType 3 /ColorSpace /DeviceRGB
  /Coords [306 396 0 306 396 420] /Extend [true true] /Function << /FunctionType 2 /Domain [0 1]
  /C0 [1 0.9 0.2] /C1 [0.1 0.2 0.7] /N 1 >> >> shfill showpage'
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$work/shaded.pdf" -c "$shading" \
  -f "$samples/sample.pdf" -c "$shading"
letter_pwg "$work/shaded.pdf" "$work/shaded.pwg" 19
same_bytes Shaded "$work/shaded.pdf" "$work/shaded.pwg" "media=Letter $name=Shaded" -t Shaded \
  -o media=na_letter_8.5x11in
letter_pwg "$work/shaded.pdf" "$work/shaded-gray.pwg" 18 -dFirstPage=2 -dLastPage=5
"$grayToRgb" <"$work/shaded-gray.pwg" >"$work/shaded-gray-as-rgb.pwg"
same_bytes Shaded-gray "$work/shaded.pdf" "$work/shaded-gray-as-rgb.pwg" "media=Letter $name=Shaded-gray" \
  -t Shaded-gray -o media=na_letter_8.5x11in -o print-color-mode=monochrome -o page-ranges=2-5

# 8. A network printer (the stand-in) that talks back: the app's PJL blocks,
# well-formed, around the filter's bytes for the sample; the same printer
# with the one-way driver gets the filter's bytes alone.
sink_start "$work/net" || exit 1
app_add_printer talking "socket://127.0.0.1:$SINK_PORT"
"$APP" add -u "$APP_URI/ipp/system" -d quiet -m corvane-oneway -v "socket://127.0.0.1:$SINK_PORT" >/dev/null
"$build/rastertocorvane" 1 user title 1 "media=A4 $name=Sample" <"$work/color.pwg" >"$work/filter.pcl"
id=$(app_submit talking "$work/color.pwg" -t Sample -o media=iso_a4_210x297mm)
app_expect_job talking "$id" completed
wait_for 5 python3 "$(dirname "$0")/status-blocks.py" "$work/net/1.pcl" "$work/filter.pcl" ||
  python3 "$(dirname "$0")/status-blocks.py" "$work/net/1.pcl" "$work/filter.pcl"
id=$(app_submit quiet "$work/color.pwg" -t Sample -o media=iso_a4_210x297mm)
app_expect_job quiet "$id" completed
wait_for 5 cmp -s "$work/net/2.pcl" "$work/filter.pcl" || cmp "$work/net/2.pcl" "$work/filter.pcl"
