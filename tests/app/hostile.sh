#!/usr/bin/env bash
# Hostile and broken documents: each must end aborted within a few seconds
# with a job message that says what was wrong; the device gets nothing or a
# cleanly ended stream; the server's memory stays bounded and a normal job
# printed right after completes.
# Usage: hostile.sh BUILD_DIR SAMPLES_DIR
set -euo pipefail
build=$1 samples=$2
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
trap app_stop EXIT
app_add_printer hostile "file://$APP_DIR/out?ext=pcl"
app_make_documents "$samples"
docs=$APP_DIR/docs

# The broken documents, made from the good ones.
python3 - "$docs" <<'EOF'
import random, struct, sys
docs = sys.argv[1]
def read(name): return bytearray(open(f"{docs}/{name}", "rb").read())
def write(name, data): open(f"{docs}/{name}", "wb").write(data)
random.seed(12)
pwg = read("a6.pwg")
write("truncated.pwg", pwg[: len(pwg) * 3 // 4])              # stops inside page 2
write("garbage.pwg", b"RaS2PwgRaster\0" + bytes(random.randrange(256) for _ in range(40000)))
million = pwg[:]
million[4 + 376 : 4 + 380] = struct.pack(">I", 1000000)       # cupsHeight of page 1
write("million.pwg", million)
lowres = pwg[:]
lowres[4 + 276 : 4 + 284] = struct.pack(">II", 300, 300)      # HWResolution of page 1
write("lowres.pwg", lowres)
cmyk = pwg[:]
cmyk[4 + 400 : 4 + 404] = struct.pack(">I", 6)                 # cupsColorSpace of page 1: CMYK
write("cmyk.pwg", cmyk)
badrow = pwg[:]
badrow[4 + 392 : 4 + 396] = struct.pack(">I", 2480 * 3 + 3)   # cupsBytesPerLine of page 1
write("badrow.pwg", badrow)
jpeg = read("page.jpg")
i = 2                                                          # SOF: height and width
while jpeg[i + 1] not in (0xC0, 0xC1, 0xC2):
    i += 2 + (jpeg[i + 2] << 8 | jpeg[i + 3])
jpeg[i + 5 : i + 9] = b"\xff\xff\xff\xff"
write("huge.jpg", jpeg)
write("truncated.jpg", read("page.jpg")[:2000])
write("truncated.png", read("page.png")[:2000])
pdf = read("sample.pdf")
write("truncated.pdf", pdf[: len(pdf) * 7 // 10])
for k in range(400, len(pdf) - 200, 7): pdf[k] = random.randrange(256)
write("corrupt.pdf", pdf)
EOF

# document, format, part of the expected job-state-message
cases=(
  "truncated.pwg image/pwg-raster ended early"
  "garbage.pwg image/pwg-raster page header is not valid"
  "million.pwg image/pwg-raster page size"
  "lowres.pwg image/pwg-raster 600 dpi"
  "cmyk.pwg image/pwg-raster colour layout"
  "badrow.pwg image/pwg-raster bytes per line"
  "huge.jpg image/jpeg too large"
  "truncated.jpg image/jpeg ends early"
  "truncated.png image/png ends early"
  "truncated.pdf application/pdf could not be rendered"
  "corrupt.pdf application/pdf could not be rendered"
)
for entry in "${cases[@]}"; do
  read -r file format expected <<<"$entry"
  started=$SECONDS
  id=$(app_print hostile "$docs/$file" "$format" "$file")
  state=$(app_wait_job hostile "$id" 10)
  message=$(app_job_attr hostile "$id" job-state-message)
  [ "$state" = aborted ] || { echo "$file: $state ($message)"; exit 1; }
  [ $((SECONDS - started)) -le 5 ] || { echo "$file: took $((SECONDS - started)) s"; exit 1; }
  case $message in *"$expected"*) ;; *) echo "$file: message '$message'"; exit 1 ;; esac
  if [ -e "$APP_DIR/out/$file.pcl" ]; then
    "$build/pclinspect" --check "$APP_DIR/out/$file.pcl" >/dev/null ||
      { echo "$file: the printer stream is not ended cleanly"; exit 1; }
  fi
  echo "$file: aborted in $((SECONDS - started)) s: $message"
done

# A normal job right after, and memory that stayed bounded.
id=$(app_print hostile "$docs/a6.pwg" image/pwg-raster normal)
[ "$(app_wait_job hostile "$id" 30)" = completed ] || { echo "normal job after them did not complete"; exit 1; }
"$build/pclinspect" --check "$APP_DIR/out/normal.pcl" >/dev/null
peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$APP_PID/status")
[ "$peak" -lt $((400 * 1024)) ] || { echo "server peak memory $((peak / 1024)) MiB"; exit 1; }
echo "normal job completed; server peak memory $((peak / 1024)) MiB"
