#!/usr/bin/env bash
# The app prints a PWG raster job to a file:// device; the bytes must equal
# what rastertocorvane writes for the same raster with the options a CUPS
# queue would pass for the same settings. A gray (sgray_8) job must come out
# as the filter's bytes for the RGB expansion of its rows.
# Usage: same-bytes.sh BUILD_DIR SAMPLES_DIR GRAY_TO_RGB
set -euo pipefail
build=$1 samples=$2 grayToRgb=$3
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
trap app_stop EXIT
work=$APP_DIR
app_add_printer corvane "file://$work/out?ext=pcl"

# 1. The bundled sample: A4 sRGB 600 dpi, three pages.
gzip -dc "$samples/sample.ras.gz" >"$work/color.pwg"
id=$(app_submit corvane "$work/color.pwg" -t "Quarterly report" -o media=iso_a4_210x297mm \
  -o media-source=tray-2 -o media-type=stationery-letterhead -o toner-darkness=dark -o toner-save=true)
state=$(app_wait_job corvane "$id")
[ "$state" = completed ] || { echo "color job: $state"; exit 1; }
"$build/rastertocorvane" 1 user title 1 \
  "media=A4 InputSlot=Tray2 MediaType=Letterhead TonerDarkness=4 com.apple.print.JobInfo.PMJobName='Quarterly report'" \
  <"$work/color.pwg" >"$work/color-filter.pcl"
cmp "$work/out/Quarterly report.pcl" "$work/color-filter.pcl"
echo "color job: same bytes ($(stat -c %s "$work/color-filter.pcl") bytes)"

# 2. A gray raster of a custom size (4 x 6 in), manual feed, card stock,
# lightest density at full toner, and a job name outside ASCII.
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pwgraster -r600 -dcupsColorSpace=18 -dcupsBitsPerColor=8 \
  -dDEVICEWIDTHPOINTS=288 -dDEVICEHEIGHTPOINTS=432 -dFIXEDMEDIA -dPDFFitPage -dLastPage=2 \
  -sOutputFile="$work/gray.pwg" "$samples/sample.pdf" 2>/dev/null
name=$'Fiche B\xc3\xbcro \xc3\xa9t\xc3\xa9'
id=$(app_submit corvane "$work/gray.pwg" -t "$name" -o media=na_index-4x6_4x6in \
  -o media-source=manual -o media-type=cardstock -o toner-darkness=lightest -o toner-save=false)
state=$(app_wait_job corvane "$id")
[ "$state" = completed ] || { echo "gray job: $state"; exit 1; }
"$grayToRgb" <"$work/gray.pwg" >"$work/gray-as-rgb.pwg"
# The filter reads option text as Mac OS Roman: the same name in that encoding.
macName=$(printf '%s' "$name" | iconv -f UTF-8 -t MACINTOSH)
"$build/rastertocorvane" 1 user title 1 \
  "media=Custom.288x432 InputSlot=ManualPaper MediaType=Card TonerDarkness=6 com.apple.print.JobInfo.PMJobName='$macName'" \
  <"$work/gray-as-rgb.pwg" >"$work/gray-filter.pcl"
# The file device writes bytes outside ASCII in file names as '_'.
cmp "$work/out/$(printf '%s' "$name" | LC_ALL=C tr '\200-\377' '_').pcl" "$work/gray-filter.pcl"
grep -q "@PJL JOB NAME = \"$name\"" "$work/gray-filter.pcl"
echo "gray job: same bytes as its RGB expansion; UTF-8 job name unchanged"

# 3. Settings left to the printer (none given, or auto): no source, type or
# toner commands, although trays hold paper of the job's size.
id=$(app_submit corvane "$work/color.pwg" -t "Defaults" -o media=na_letter_8.5x11in)
state=$(app_wait_job corvane "$id")
[ "$state" = completed ] || { echo "default job: $state"; exit 1; }
"$build/rastertocorvane" 1 user title 1 "media=Letter com.apple.print.JobInfo.PMJobName=Defaults" \
  <"$work/color.pwg" >"$work/default-filter.pcl"
cmp "$work/out/Defaults.pcl" "$work/default-filter.pcl"
id=$(app_submit corvane "$work/color.pwg" -t "Defaults" -o media=iso_a4_210x297mm -o media-source=auto -o media-type=auto)
state=$(app_wait_job corvane "$id")
[ "$state" = completed ] || { echo "default job: $state"; exit 1; }
"$build/rastertocorvane" 1 user title 1 "media=A4 com.apple.print.JobInfo.PMJobName=Defaults" \
  <"$work/color.pwg" >"$work/default-filter.pcl"
# A second job of the same name gets a file of its own.
cmp "$work/out/Defaults-2.pcl" "$work/default-filter.pcl"
echo "job with printer defaults: same bytes"

trap - EXIT
app_stop
