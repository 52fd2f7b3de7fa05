#!/usr/bin/env bash
# Writes sample.pdf: a three-page US Letter test document for the Corvane
# driver. Plain PDF 1.4 with the standard Helvetica font (not embedded), so the
# file stays a few kilobytes and is the same bytes on every run.
# Usage: samples/make-sample-pdf.sh [output.pdf]
set -euo pipefail
export LC_ALL=C
out=${1:-"$(dirname "$0")/sample.pdf"}
pages=3

# Page content: a frame, a title, a large page number and a grey bar whose
# place differs per page, so every page rasterises differently.
content() {
    local n=$1 y=$((280 - n * 40))
    cat <<PAGE
0.2 w 36 36 540 720 re S
BT /F1 28 Tf 72 700 Td (Corvane test page ${n} of ${pages}) Tj ET
BT /F1 12 Tf 72 676 Td (Printed through CUPS with the rastertocorvane filter.) Tj ET
BT /F1 240 Tf 220 300 Td (${n}) Tj ET
0.5 g 72 ${y} 468 40 re f
0 g 72 110 m 540 110 l S
BT /F1 10 Tf 72 90 Td (600 dpi, 24-bit RGB raster, PCL 5 delta-row compression.) Tj ET
PAGE
}

body=""
offsets=()
add() {  # add OBJECT-NUMBER TEXT
    offsets[$1]=$(( ${#header} + ${#body} ))
    body+="$1 0 obj
$2
endobj
"
}

header=$'%PDF-1.4\n'
kids=""
for ((n = 1; n <= pages; n++)); do kids+="$((3 + 2 * n)) 0 R "; done
add 1 "<< /Type /Catalog /Pages 2 0 R >>"
add 2 "<< /Type /Pages /Kids [ ${kids}] /Count ${pages} >>"
add 3 "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"
add 4 "<< /Producer (rastertocorvane samples/make-sample-pdf.sh) >>"
for ((n = 1; n <= pages; n++)); do
    page=$((3 + 2 * n)) stream=$((4 + 2 * n))
    text=$(content "$n")
    add "$page" "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> /Contents ${stream} 0 R >>"
    add "$stream" "<< /Length $(( ${#text} + 1 )) >>
stream
${text}
endstream"
done

count=$((4 + 2 * pages))
xref_at=$(( ${#header} + ${#body} ))
xref="xref
0 $((count + 1))
0000000000 65535 f 
"
for ((i = 1; i <= count; i++)); do xref+=$(printf '%010d 00000 n \n' "${offsets[$i]}")$'\n'; done
LC_ALL=C printf '%s%s%strailer\n<< /Size %d /Root 1 0 R /Info 4 0 R >>\nstartxref\n%d\n%%%%EOF\n' \
    "$header" "$body" "$xref" $((count + 1)) "$xref_at" > "$out"
echo "wrote $out"
