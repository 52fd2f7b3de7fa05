#!/usr/bin/env bash
# What clients send, through a running server: hostile job names (one with
# a NUL in a raw request), copies of Apple raster documents, media names the
# printer does not list, a CMYK JPEG, and documents that are not what their
# format says.
# Usage: clients.sh BUILD_DIR SAMPLES_DIR GRAY_TO_RGB
set -euo pipefail
build=$1 samples=$2 grayToRgb=$3
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
trap 'app_stop || exit 1' EXIT
work=$APP_DIR out=$APP_DIR/out
app_make_documents "$samples"
docs=$APP_DIR/docs

# print NAME FILE FORMAT JOB_NAME [ATTRIBUTE_LINES]: Print-Job through
# ipptool, job attributes given as ipptool ATTR lines; prints the job id.
print() {
  local test
  test=$(ipp_request "print-$(printf "%s" "${5:-}" | md5sum | cut -c1-8)" Print-Job \
    " ATTR mimeMediaType document-format \$format\n ATTR name job-name \$jobname\n GROUP job-attributes-tag\n${5:- ATTR integer copies 1}\n FILE \$filename\n DISPLAY job-id")
  ipptool -c -d format="$3" -d jobname="$4" -f "$2" "$APP_URI/ipp/print/$1" "$test" | grep -E '^[0-9]+$'
}
summary() { pcl_check "$1" && "$PCLINSPECT" "$1"; }

# 1. Job names that would add printer commands: each stream holds the PJL
# header with one JOB NAME line, the name's control characters as spaces
# and its quotes as apostrophes, and no other UEL than the two of the job.
# The server keeps the names with spaces for the control characters, so
# Get-Jobs stays valid for every client, also after a restart (a '#' in a
# name used to cut its line of the saved state).
sink_start "$work/net"
app_add_printer names "socket://127.0.0.1:$SINK_PORT"
header_of() {  # the stream's PJL header, then the number of UELs in it
  python3 - "$1" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
uel = b"\x1b%-12345X"
# The app's own status blocks around the job (@PJL lines ending in CR LF)
# are not the job's.
data = re.sub(rb"\x1b%-12345X(?:@PJL[\x20-\x7e\x80-\xff]*\r\n)+\x1b%-12345X", b"", data)
start = data.index(uel) + len(uel)
end = data.index(b"@PJL ENTER LANGUAGE=PCL\n", start)
sys.stdout.buffer.write(data[start:end] + b"%d UEL\n" % data.count(uel))
PY
}
expect_name() {  # STREAM NAME
  local expected
  expected=$(printf '@PJL COMMENT Corvane PCL driver\n@PJL JOB NAME = "%s"\n@PJL SET PAGEPROTECT = AUTO\n@PJL SET RESOLUTION = 600\n@PJL SET TIMEOUT = 0\n2 UEL' "$2")
  [ "$(header_of "$1")" = "$expected" ] || { echo "$1: header"; header_of "$1" | cat -A; exit 1; }
}
names=($'a\n@PJL SET COPIES = 99' $'b\r\n@PJL FSDELETE NAME = "0:\\pcl\\fonts"'
       $'c\e%-12345X@PJL ENTER LANGUAGE = POSTSCRIPT' 'say "hi" 100%s' $'del\x7f' 'Invoice #42')
written=('a @PJL SET COPIES = 99' "b  @PJL FSDELETE NAME = '0:\\pcl\\fonts'"
         'c %-12345X@PJL ENTER LANGUAGE = POSTSCRIPT' "say 'hi' 100%s" 'del ' 'Invoice #42')
for i in "${!names[@]}"; do
  id=$(print names "$docs/a6.pwg" image/pwg-raster "${names[$i]}")
  app_expect_job names "$id" completed
  wait_for 10 test -s "$work/net/$((i + 1)).pcl"
  expect_name "$work/net/$((i + 1)).pcl" "${written[$i]}"
done
# A NUL, which IPP's length-prefixed strings carry: the name ends there.
python3 - "$APP_PORT" "$docs/a6.pwg" <<'PY'
import http.client, struct, sys
def attr(tag, name, value):
    return struct.pack(">BH", tag, len(name)) + name + struct.pack(">H", len(value)) + value
uri = b"ipp://127.0.0.1:%s/ipp/print/names" % sys.argv[1].encode()
request = struct.pack(">BBHI", 2, 0, 0x0002, 1) + b"\x01" + attr(0x47, b"attributes-charset", b"utf-8") + \
    attr(0x48, b"attributes-natural-language", b"en") + attr(0x45, b"printer-uri", uri) + \
    attr(0x42, b"requesting-user-name", b"eve\n") + attr(0x42, b"job-name", b"nul\0\n@PJL SET COPIES = 99") + \
    attr(0x49, b"document-format", b"image/pwg-raster") + b"\x03" + open(sys.argv[2], "rb").read()
connection = http.client.HTTPConnection("127.0.0.1", int(sys.argv[1]))
connection.request("POST", "/ipp/print/names", request, {"Content-Type": "application/ipp"})
status = struct.unpack(">H", connection.getresponse().read()[2:4])[0]
sys.exit(status >= 0x100)
PY
app_wait_jobs names
wait_for 10 test -s "$work/net/7.pcl"
expect_name "$work/net/7.pcl" nul
valid_jobs() {
  ipptool -t "$APP_URI/ipp/print/names" "$(ipp_request all-jobs Get-Jobs \
    ' ATTR keyword which-jobs all\n ATTR keyword requested-attributes all\n EXPECT job-name')" >"$work/jobs.txt" ||
    { cat "$work/jobs.txt"; exit 1; }
}
valid_jobs
app_jobs names completed | matches "Invoice #42" || { echo "no job named Invoice #42"; exit 1; }
sink_stop
kill -TERM "$APP_PID"; wait "$APP_PID" 2>/dev/null || true
app_restart
valid_jobs
[ "$(app_jobs names completed | wc -l)" = 7 ] || { echo "jobs after the restart:"; app_jobs names completed; exit 1; }
app_jobs names completed | matches "Invoice #42" || { echo "Invoice #42 lost in the restart"; exit 1; }
echo "job names: 7 jobs, one JOB NAME line each, Get-Jobs valid before and after a restart"

# 2. Copies of Apple raster documents, whose pages come once: collated (the
# default) the pages three times, uncollated each page with the printer's
# copy command. (same-bytes.sh holds PWG raster's against the filter's.)
app_add_printer copies "file://$out?ext=pcl"
"$grayToRgb" --apple <"$docs/a6.pwg" >"$docs/a6.urf"
copies() {  # JOB_NAME FILE FORMAT HANDLING: pages, then copy commands on pages
  local id
  id=$(print copies "$2" "$3" "$1" " ATTR integer copies 3\n ATTR keyword multiple-document-handling $4")
  app_expect_job copies "$id" completed
  summary "$out/$1.pcl" >"$work/summary.txt"
  echo "$(awk '/^pages:/ { print $2 }' "$work/summary.txt") $(grep -c 'copies 3 (sent for this page)' "$work/summary.txt")"
}
[ "$(copies urf-collated "$docs/a6.urf" image/urf separate-documents-collated-copies)" = "6 0" ]
[ "$(copies urf-uncollated "$docs/a6.urf" image/urf separate-documents-uncollated-copies)" = "2 2" ]
echo "copies: Apple raster, 3 collated and uncollated copies"

# 3. Media names: PWG self-describing and standard names the printer does
# not list print on their own size, through IPP and through submit (the
# local control socket too); a size out of range is refused, naming it.
app_add_printer media "file://$out?ext=pcl"
size_of() { summary "$out/$1.pcl" | awk -F'size |, media' '/^page 1:/ { print $2 }'; }
for case in custom_100x150mm:3.94x5.91 custom_5x7in:5.00x7.00 na_index-4x6_4x6in:4.00x6.00 custom_210x297mm:A4; do
  media=${case%%:*} expected="custom (101) ${case#*:} in"
  [ "${case#*:}" != A4 ] || expected="A4 (26)"
  expected=${expected/x/ x }
  id=$(print media "$docs/page.jpg" image/jpeg "ipp-$media" " ATTR keyword media $media")
  app_expect_job media "$id" completed
  [ "$(size_of "ipp-$media")" = "$expected" ] || { echo "$media: $(size_of "ipp-$media")"; exit 1; }
  id=$(app_submit media "$docs/page.jpg" -t "submit-$media" -o media="$media")
  app_expect_job media "$id" completed
  [ "$(size_of "submit-$media")" = "$expected" ] || { echo "submit $media: $(size_of "submit-$media")"; exit 1; }
done
# A root server's control socket is in SNAP_COMMON, this test's own folder;
# a user's is shared by every server the user runs, so it is not tried.
if [ "$(id -u)" = 0 ]; then
  SNAP_COMMON=$APP_DIR "$APP" submit -d media -t local-5x7 -o media=custom_5x7in "$docs/page.jpg" >/dev/null
  app_wait_jobs media
  [ "$(size_of local-5x7)" = "custom (101) 5.00 x 7.00 in" ] || { echo "control socket: $(size_of local-5x7)"; exit 1; }
fi
refused=$(ipptool -tv -d jobname=large -d format=image/jpeg -f "$docs/page.jpg" "$APP_URI/ipp/print/media" \
  "$(ipp_request refused Print-Job ' ATTR mimeMediaType document-format $format\n ATTR name job-name $jobname
 GROUP job-attributes-tag\n ATTR keyword media custom_20x30in\n FILE $filename
 STATUS client-error-attributes-or-values-not-supported
 EXPECT detailed-status-message WITH-VALUE "/3 x 5 to 12 x 18 in/"')") || { echo "$refused"; exit 1; }
if message=$(app_submit media "$docs/page.jpg" -t large -o media=custom_20x30in 2>&1); then
  echo "submit printed on custom_20x30in: $message"; exit 1
fi
[[ $message == *"3 x 5 to 12 x 18 in"* ]] || { echo "submit refused custom_20x30in with: $message"; exit 1; }
[ ! -e "$out/large.pcl" ] || { echo "a job out of range printed"; exit 1; }
echo "media: custom and unlisted names on their own sizes; custom_20x30in refused: $message"

# 4. A CMYK JPEG (Adobe's inverted CMYK, as Ghostscript writes it) prints
# in colour: red, green and blue bars. (YCCK and plain CMYK decode alike:
# clientRequestTest.cc.)
app_add_printer jpeg "file://$out?ext=pcl"
printf '%s\n' '<< /PageSize [144 72] >> setpagedevice 1 0 0 setrgbcolor 0 0 48 72 rectfill' \
  '0 1 0 setrgbcolor 48 0 48 72 rectfill 0 0 1 setrgbcolor 96 0 48 72 rectfill showpage' >"$work/bars.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=jpegcmyk -r50 -sOutputFile="$docs/cmyk.jpg" "$work/bars.ps"
id=$(print jpeg "$docs/cmyk.jpg" image/jpeg cmyk)
app_expect_job jpeg "$id" completed
"$PCLINSPECT" --png "$work/cmyk" --scale 16 "$out/cmyk.pcl" >/dev/null
python3 - "$work/cmyk-page1.png" <<'PY' || { echo "CMYK JPEG: not in its colours"; exit 1; }
import struct, sys, zlib
data, at, idat = open(sys.argv[1], "rb").read(), 8, b""
while at < len(data):  # the PNG's chunks; pclinspect writes 8-bit RGB
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    if kind == b"IHDR": width, height = struct.unpack(">II", data[at + 8:at + 16])
    idat += data[at + 8:at + 8 + length] if kind == b"IDAT" else b""
    at += 12 + length
raw, stride, rows, prior = zlib.decompress(idat), width * 3, [], bytearray(width * 3)
for y in range(height):  # undo each row's filter
    kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a, b, c = line[i - 3] if i >= 3 else 0, prior[i], prior[i - 3] if i >= 3 else 0
        p = a + b - c
        paeth = min((abs(p - a), 0, a), (abs(p - b), 1, b), (abs(p - c), 2, c))[2]
        line[i] = (line[i] + [0, a, b, (a + b) // 2, paeth][kind]) & 255
    rows.append(prior := line)
pixels = [tuple(row[i:i + 3]) for row in rows for i in range(0, stride, 3)]
found = [sum(1 for p in pixels if p[k] > 180 and max(p[j] for j in range(3) if j != k) < 128) for k in range(3)]
print("red, green, blue pixels:", found)
sys.exit(min(found) < 20)
PY
echo "JPEG: CMYK prints in colour"

# 5. Documents that are not what their format says: the job says so and
# nothing reaches the printer.
app_add_printer documents "file://$out?ext=pcl"
echo "Meeting notes, plain text." >"$docs/text.pdf"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOwnerPassword=owner -sUserPassword=secret -dLastPage=1 \
  -sOutputFile="$docs/locked.pdf" "$samples/sample.pdf"
for case in "text:The document is not a PDF file." "locked:The PDF file needs a password."; do
  name=${case%%:*} expected=${case#*:}
  id=$(print documents "$docs/$name.pdf" application/pdf "$name")
  app_expect_job documents "$id" aborted
  message=$(app_job_attr documents "$id" job-state-message)
  [ "$message" = "$expected" ] || { echo "$name.pdf: '$message'"; exit 1; }
  [ ! -e "$out/$name.pcl" ] || { echo "$name.pdf: bytes reached the printer"; exit 1; }
done
echo "documents: text sent as PDF and a locked PDF say so, and send nothing"
