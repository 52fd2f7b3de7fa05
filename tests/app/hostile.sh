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
trap 'app_stop || exit 1' EXIT
app_add_printer hostile "file://$APP_DIR/out?ext=pcl"
app_make_documents "$samples"
docs=$APP_DIR/docs

# The broken documents, made from the good ones.
python3 - "$docs" <<'PY'
import random, struct, sys
docs = sys.argv[1]
def read(name): return bytearray(open(f"{docs}/{name}", "rb").read())
def write(name, data): open(f"{docs}/{name}", "wb").write(data)
def patched(name, offset, *values):  # page 1's header with big-endian fields from offset
    data = pwg[:]
    data[4 + offset : 4 + offset + 4 * len(values)] = struct.pack(f">{len(values)}I", *values)
    write(name, data)
random.seed(12)
pwg = read("a6.pwg")
write("truncated.pwg", pwg[: len(pwg) * 3 // 4])              # stops inside page 2
write("garbage.pwg", b"RaS2PwgRaster\0" + bytes(random.randrange(256) for _ in range(40000)))
patched("million.pwg", 376, 1000000)                          # cupsHeight
patched("lowres.pwg", 276, 300, 300)                          # HWResolution
patched("cmyk.pwg", 400, 6)                                   # cupsColorSpace: CMYK
patched("badrow.pwg", 392, 2480 * 3 + 3)                      # cupsBytesPerLine
# Two good pages, then a header libcups refuses, with more data after it.
write("junkheader.pwg", pwg + bytes(1796) + bytes(random.randrange(256) for _ in range(200000)))
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
PY

# Document, format, part of the expected job-state-message.
while read -r -u 3 file format expected; do
  started=$SECONDS
  id=$(app_print hostile "$docs/$file" "$format" "$file")
  app_expect_job hostile "$id" aborted 10
  message=$(app_job_attr hostile "$id" job-state-message)
  [[ $message == *"$expected"* && $((SECONDS - started)) -le 5 ]] ||
    { echo "$file: message '$message' after $((SECONDS - started)) s"; exit 1; }
  [ ! -e "$APP_DIR/out/$file.pcl" ] || pcl_check "$APP_DIR/out/$file.pcl"
  echo "$file: aborted in $((SECONDS - started)) s: $message"
done 3<<'CASES'
truncated.pwg image/pwg-raster ended early
garbage.pwg image/pwg-raster page header is not valid
million.pwg image/pwg-raster page size
lowres.pwg image/pwg-raster 600 dpi
cmyk.pwg image/pwg-raster colour layout
badrow.pwg image/pwg-raster bytes per line
junkheader.pwg image/pwg-raster after page 2 cannot be read
huge.jpg image/jpeg too large
truncated.jpg image/jpeg ends early
truncated.png image/png ends early
truncated.pdf application/pdf could not be rendered
corrupt.pdf application/pdf could not be rendered
CASES

# The PDF renderer dies in the middle of a job (a crash): the job ends
# aborted with a message and no partial page, and the server goes on.
# A renderer the server keeps ready for the next job dies with it.
id=$(app_submit hostile "$samples/sample.pdf" -o copies=50)
printed=0
for _ in $(seq 200); do
  printed=$(app_job_attr hostile "$id" job-impressions-completed 2>/dev/null || echo 0)
  [ "${printed:-0}" -ge 1 ] 2>/dev/null && break
  sleep 0.05
done
[ "${printed:-0}" -ge 1 ] 2>/dev/null || { echo "renderer: the job printed no page"; exit 1; }
# The server's renderers that still run (an ended one stays a zombie until
# the server reaps it: killing that one does nothing).
live_renderers() {
  local pid
  for pid in $(pgrep -P "$APP_PID" -x corvane-render); do
    [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" = Z ] || echo "$pid"
  done
}
job_ended() { [ "$(app_jobs hostile completed | awk -v id="$id" '$1 == id')" != "" ]; }
# Between two copies no renderer runs, and one may be ending on its own:
# kill what runs until the job ends.
killed=0
for round in $(seq 300); do
  pids=$(live_renderers)
  [ -n "$pids" ] && kill -9 $pids 2>/dev/null && killed=1
  [ $((round % 10)) = 0 ] && [ "$killed" = 1 ] && job_ended && break
  sleep 0.02
done
[ "$killed" = 1 ] || { echo "renderer: no corvane-render process seen"; exit 1; }
app_expect_job hostile "$id" aborted 30
message=$(app_job_attr hostile "$id" job-state-message)
[[ $message == *Ghostscript* ]] || { echo "renderer killed: message '$message'"; exit 1; }
# What reached the printer is whole: the renderer's rows up to its end, the
# cut page ended, the printer reset and the closing UEL.
pcl_check "$(ls -t "$APP_DIR"/out/*.pcl | head -n1)" || { echo "renderer killed: the stream is not whole"; exit 1; }
echo "renderer killed: aborted: $message"

# The renderer kept ready for the next job (a PDF job that ends starts one)
# dies while idle: the next PDF job starts its own.
id=$(app_submit hostile "$samples/sample.pdf")
app_expect_job hostile "$id" completed 30
for _ in $(seq 100); do [ -n "$(live_renderers)" ] && break; sleep 0.02; done
pids=$(live_renderers)
[ -n "$pids" ] && kill -9 $pids || { echo "idle renderer: none seen"; exit 1; }
id=$(app_submit hostile "$samples/sample.pdf")
app_expect_job hostile "$id" completed 30
echo "idle renderer killed: the next PDF job completed"

# A normal job right after, and memory that stayed bounded.
id=$(app_print hostile "$docs/a6.pwg" image/pwg-raster normal)
app_expect_job hostile "$id" completed 30
pcl_check "$APP_DIR/out/normal.pcl"
peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$APP_PID/status")
echo "server peak memory $((peak / 1024)) MiB (at most 400)"
[ "$peak" -lt $((400 * 1024)) ]
