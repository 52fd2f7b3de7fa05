#!/usr/bin/env bash
# End-to-end benchmark of corvane-printer-app: a server on a free loopback
# port with its own state folder, a socket:// printer whose listener counts
# the bytes (bench/appbench), PDF and PWG raster jobs from submit to
# "completed", side by side with Ghostscript alone, the CUPS chain
# (cupsfilter with our PPD) and the filter alone on the same pages.
#
#   bench/app-e2e.sh [--quick] [--runs R] [--mem-jobs N]
#
#   --quick       short documents (4 text pages, 2 photographic), 1 run,
#                 20 jobs for the memory check (about a minute)
#   --runs R      repetitions, medians reported (default 5)
#   --mem-jobs N  sequential jobs of the memory check (default 100)
#
# Environment: BUILD_DIR (default <repo>/build-bench), BENCH_TMP (work folder,
# removed at the end unless KEEP=1).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build-bench}
RUNS=5
MEM_JOBS=100
TEXT_PAGES=20
PHOTO_PAGES=10
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) RUNS=1; MEM_JOBS=20; TEXT_PAGES=4; PHOTO_PAGES=2 ;;
    --runs) RUNS=$2; shift ;;
    --mem-jobs) MEM_JOBS=$2; shift ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "app-e2e.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
MEM_FROM=$((MEM_JOBS < 20 ? MEM_JOBS / 2 : 10))

if ! pkg-config --exists pappl; then
  echo "app-e2e.sh: PAPPL is not installed; the printer application is not benchmarked" >&2
  exit 0
fi
for tool in gs cupsfilter python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] ||
    { echo "app-e2e.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
CUPSFILTER=$(command -v cupsfilter || echo /usr/sbin/cupsfilter)

# --- build -------------------------------------------------------------------
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCORVANE_BENCH=ON -DCORVANE_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target corvane-printer-app rastertocorvane appbench corvane_ppd pclinspect >/dev/null
APPBENCH=$BUILD/bench/appbench
FILTER=$BUILD/rastertocorvane
PPD=$BUILD/ppd/corvane.ppd

TMP=${BENCH_TMP:-$(mktemp -d /tmp/corvane-app-bench.XXXXXX)}
mkdir -p "$TMP"
# shellcheck source=../tests/app/app-lib.sh
source "$ROOT/tests/app/app-lib.sh"
# shellcheck source=../tests/cups/cupsd-lib.sh
source "$ROOT/tests/cups/cupsd-lib.sh"
cleanup() {
  app_stop
  [ "${KEEP:-0}" = 1 ] || rm -rf "$TMP"
}
trap cleanup EXIT

# --- documents: PDF (made once per build folder) and the same pages as PWG
# raster, rendered as the app renders them
DOCS=$BUILD/bench/app-docs
if [ ! -f "$DOCS/text$TEXT_PAGES.pdf" ] || [ ! -f "$DOCS/photo$PHOTO_PAGES.pdf" ] ||
   [ "$ROOT/bench/make-app-docs.py" -nt "$DOCS/photo$PHOTO_PAGES.pdf" ]; then
  echo "Making the benchmark documents in $DOCS ..." >&2
  python3 "$ROOT/bench/make-app-docs.py" "$DOCS" "$TEXT_PAGES" "$PHOTO_PAGES"
fi
TEXT_DOC=text$TEXT_PAGES
DOC_NAMES="sample $TEXT_DOC photo$PHOTO_PAGES"
declare -A PDF PAGES
PDF[sample]=$ROOT/samples/sample.pdf; PAGES[sample]=3
PDF[$TEXT_DOC]=$DOCS/$TEXT_DOC.pdf; PAGES[$TEXT_DOC]=$TEXT_PAGES
PDF[photo$PHOTO_PAGES]=$DOCS/photo$PHOTO_PAGES.pdf; PAGES[photo$PHOTO_PAGES]=$PHOTO_PAGES

# Ghostscript alone with the options the app gives its renderer for a Letter
# PDF job, drawing the same pixels with its fastest device (ppmraw).
gs_command() {  # gs_command ARRAY-NAME [appbench gs-command arguments...]
  local -n into=$1; shift
  mapfile -t into < <("$APPBENCH" gs-command "$@")
}

# The filter's settings for the app's defaults and the job name appbench
# sends, so that both write the same stream.
FILTER_ARGS=(1 user bench 1 "com.apple.print.JobInfo.PMJobName=bench PageSize=Letter")
declare -A PAGE1_END STREAM_BYTES
echo "Rasterizing the documents to PWG raster in $TMP ..." >&2
for doc in $DOC_NAMES; do
  gs_command cmd "${PDF[$doc]}"
  cmd=("${cmd[0]}" -dcupsColorSpace=19 -dcupsBitsPerColor=8 "${cmd[@]:1}")
  cmd=("${cmd[@]/#-sDEVICE=*/-sDEVICE=pwgraster}")
  "${cmd[@]/#-sOutputFile=*/-sOutputFile=$TMP/$doc.ras}" 2>/dev/null >/dev/null
  "$FILTER" "${FILTER_ARGS[@]}" <"$TMP/$doc.ras" >"$TMP/$doc.pcl" 2>/dev/null
  STREAM_BYTES[$doc]=$(stat -c %s "$TMP/$doc.pcl")
  # The byte after page 1's form feed: page 1 is on the device.
  PAGE1_END[$doc]=$("$BUILD/pclinspect" --list "$TMP/$doc.pcl" |
    awk '/form feed: page 1 ends/ && !done { print $1 + 1; done = 1 }')
  rm -f "$TMP/$doc.pcl"
done

# cupsfilter finds the filters in the ServerBin of the configuration it is given.
cupsd_make_serverbin "$TMP/serverbin" "$FILTER"
echo "ServerBin $TMP/serverbin" >"$TMP/cups-files.conf"

# --- the server ---------------------------------------------------------------
app_start "$BUILD"

# --- timed runs ------------------------------------------------------------------
# One line per measurement: document, path, seconds, first byte, page 1 on
# the device, bytes, peak RSS (KiB), job state, CPU seconds (with children:
# the server's Ghostscript, the CUPS chain's filters).
RESULTS=$TMP/results.tsv
: >"$RESULTS"
now_us() { echo "${EPOCHREALTIME/[.,]/}"; }
record() { printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >>"$RESULTS"; }

time_command() {  # time_command DOC PATH COMMAND...  (output to /dev/null)
  local doc=$1 path=$2 t0 t1; shift 2
  t0=$(now_us)
  /usr/bin/time -f '%U %S' -o "$TMP/cpu" "$@" >/dev/null 2>>"$TMP/stderr.log" ||
    echo "app-e2e.sh: $path failed for $doc" >&2
  t1=$(now_us)
  record "$doc" "$path" "$(awk -v us=$((t1 - t0)) 'BEGIN { printf "%.4f", us / 1e6 }')" - - - - ok \
    "$(awk 'END { print $1 + $2 }' "$TMP/cpu")"
}

app_job() {  # app_job DOC PATH FORMAT FILE
  local doc=$1 path=$2 format=$3 file=$4 line
  line=$("$APPBENCH" print --server "$APP_URI" --pid "$APP_PID" --format "$format" --reset-peak \
    --page-end "${PAGE1_END[$doc]:-0}" "$file" | tail -n1) || true
  printf '%s\t%s\t%s\n' "$doc" "$path" "$line" >>"$TMP/app-jobs.tsv"
  # job state done first_byte page1 last_byte bytes peak cpu child_cpu
  awk -F'\t' -v doc="$doc" -v path="$path" 'BEGIN { OFS = "\t" }
    { print doc, path, $3, $4, $5, $7, $8, $2, $9 + $10 }' <<<"$line" >>"$RESULTS"
}

steps=(gs gs2 gs-pipe app-pdf app-pdf-cold cups app-pwg filter)
run_step() {  # run_step STEP DOC
  local step=$1 doc=$2 cmd
  case $step in
    gs)
      gs_command cmd "${PDF[$doc]}"
      time_command "$doc" "gs alone" "${cmd[@]/#-sOutputFile=*/-sOutputFile=/dev/null}" ;;
    gs2)
      [ "$doc" = "$TEXT_DOC" ] || return 0
      gs_command cmd --last 2 "${PDF[$doc]}"
      time_command "$doc" "gs alone, pages 1-2" "${cmd[@]/#-sOutputFile=*/-sOutputFile=/dev/null}" ;;
    gs-pipe)
      # The same raster through a pipe, as any consumer outside Ghostscript
      # takes it: what moving the pages costs on top of rendering them.
      gs_command cmd "${PDF[$doc]}"
      time_command "$doc" "gs alone | cat" sh -c '"$@" | cat' sh "${cmd[@]}" ;;
    app-pdf) app_job "$doc" "app, PDF" application/pdf "${PDF[$doc]}" ;;
    app-pdf-cold)
      # The server starts the next job's renderers when a PDF job ends. With
      # those gone, renderers start when appbench adds its printer, just
      # before the job: the job waits for Ghostscript's start, as one with
      # other settings than the job before it does.
      pkill -9 -P "$APP_PID" -x corvane-render || true
      app_job "$doc" "app, PDF, cold start" application/pdf "${PDF[$doc]}" ;;
    cups)
      time_command "$doc" "cupsfilter, PDF" sh -c '"$1" -c "$2" -p "$3" -m printer/corvane -e "$4" >"$5"' \
        sh "$CUPSFILTER" "$TMP/cups-files.conf" "$PPD" "${PDF[$doc]}" "$TMP/cups.pcl" ;;
    app-pwg) app_job "$doc" "app, PWG raster" image/pwg-raster "$TMP/$doc.ras" ;;
    filter)
      time_command "$doc" "filter alone, PWG raster" sh -c 'cat "$1" | "$2" "$3" "$4" "$5" "$6" "$7"' \
        sh "$TMP/$doc.ras" "$FILTER" "${FILTER_ARGS[@]}" ;;
  esac
}

for ((run = 0; run < RUNS; run++)); do
  echo "Run $((run + 1))/$RUNS ..." >&2
  for doc in $DOC_NAMES; do
    # The order of the paths turns from run to run, so none always follows
    # the same neighbour.
    for ((j = 0; j < ${#steps[@]}; j++)); do
      run_step "${steps[(j + run) % ${#steps[@]}]}" "$doc"
    done
  done
done

echo "Memory: $MEM_JOBS sequential jobs of the sample PDF ..." >&2
"$APPBENCH" print --server "$APP_URI" --pid "$APP_PID" --format application/pdf --jobs "$MEM_JOBS" \
  "${PDF[sample]}" >"$TMP/memory.tsv"
MEM_AT_FROM=$(awk -F'\t' -v n="$MEM_FROM" '$1 == n { print $8 }' "$TMP/memory.tsv")
MEM_AT_END=$(awk -F'\t' -v n="$MEM_JOBS" '$1 == n { print $8 }' "$TMP/memory.tsv")
MEM_FAILED=$(awk -F'\t' 'NR > 1 && $2 != "completed"' "$TMP/memory.tsv" | wc -l)

# --- report --------------------------------------------------------------------
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(free -g | awk '/^Mem:/{print $2}') GiB, $(uname -srm), gs $(gs --version), PAPPL $(pkg-config --modversion pappl 2>/dev/null || echo '?'), $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Jobs: US Letter 600 dpi sRGB, socket:// device on loopback; $RUNS run(s), medians; CPU s = user + system, children included (the app's Ghostscript)"
echo "The app's renderers: corvane-render rgb odd|even $(gs_command cmd X; echo "${cmd[@]:3:${#cmd[@]}-5}") (display device, bands in shared memory, started before the job); gs alone: the same options, -sDEVICE=ppmraw"
echo
pages_list=""
for doc in $DOC_NAMES; do pages_list+="$doc=${PAGES[$doc]} "; done
awk -F'\t' -v docs="$DOC_NAMES" -v pageslist="$pages_list" -v textdoc="$TEXT_DOC" \
    -v photodoc="photo$PHOTO_PAGES" -v memfrom="$MEM_FROM" -v memjobs="$MEM_JOBS" \
    -v mema="$MEM_AT_FROM" -v memb="$MEM_AT_END" -v memfailed="$MEM_FAILED" '
  function median(key, col,   m, i, j, v, tmp) {
    m = n[key]
    for (i = 1; i <= m; i++) v[i] = val[key, col, i]
    for (i = 2; i <= m; i++) { tmp = v[i]; for (j = i - 1; j >= 1 && v[j] > tmp; j--) v[j + 1] = v[j]; v[j + 1] = tmp }
    return (m % 2) ? v[(m + 1) / 2] : (v[m / 2] + v[m / 2 + 1]) / 2
  }
  function has(doc, path) { return ((doc SUBSEP path) in n) }
  function med(doc, path, col) { return median(doc SUBSEP path, col) }
  function verdict(ok) { return ok ? "HOLDS" : "FAILS" }
  {
    key = $1 SUBSEP $2
    if (!(key in n)) order[$1, ++paths[$1]] = $2
    k = ++n[key]
    for (c = 3; c <= 9; c++) val[key, c, k] = ($c == "-" ? -1 : $c)
    if ($8 != "ok" && $8 != "completed") bad[key] = $8
  }
  END {
    split(pageslist, pl, " ")
    for (i in pl) { split(pl[i], kv, "="); pages[kv[1]] = kv[2] }
    nd = split(docs, D, " ")
    printf "| %-8s | %-24s | %8s | %10s | %8s | %9s | %10s | %10s | %6s |\n", "document", "path", "seconds", "first byte", "page 1", "pages/min", "server RSS", "ratio", "CPU s"
    printf "|----------|--------------------------|----------|------------|----------|-----------|------------|------------|--------|\n"
    for (a = 1; a <= nd; a++) {
      d = D[a]
      for (p = 1; p <= paths[d]; p++) {
        path = order[d, p]
        s = med(d, path, 3)
        fb = med(d, path, 4); p1 = med(d, path, 5); rss = med(d, path, 7)
        np = (path ~ /pages 1-2/) ? 2 : pages[d]
        ratio = ""
        if (path ~ /^app, PDF/ && has(d, "gs alone")) ratio = sprintf("%.2fx gs", s / med(d, "gs alone", 3))
        if (path == "gs alone | cat" && has(d, "gs alone")) ratio = sprintf("%.2fx gs", s / med(d, "gs alone", 3))
        if (path == "cupsfilter, PDF" && has(d, "gs alone")) ratio = sprintf("%.2fx gs", s / med(d, "gs alone", 3))
        if (path == "app, PWG raster" && has(d, "filter alone, PWG raster")) ratio = sprintf("%.2fx filt", s / med(d, "filter alone, PWG raster", 3))
        printf "| %-8s | %-24s | %8.3f | %10s | %8s | %9.1f | %10s | %10s | %6.2f |\n", d, path, s,
          (fb >= 0) ? sprintf("%.3f", fb) : "", (p1 >= 0) ? sprintf("%.3f", p1) : "", np * 60 / s,
          (rss >= 0) ? sprintf("%.1f MiB", rss / 1024) : "", ratio, med(d, path, 9)
        if ((d SUBSEP path) in bad) problems = problems sprintf("%s / %s ended %s\n", d, path, bad[d SUBSEP path])
      }
      if (has(d, "app, PDF") && has(d, "app, PWG raster") && med(d, "app, PDF", 6) != med(d, "app, PWG raster", 6))
        problems = problems sprintf("note: %s: %d bytes from the PDF job, %d from the PWG raster job\n", d, med(d, "app, PDF", 6), med(d, "app, PWG raster", 6))
    }
    print ""
    if (problems != "") printf "%s\n", problems
    for (a = 1; a <= nd; a++) {
      d = D[a]
      if (!has(d, "app, PDF") || !has(d, "gs alone")) continue
      app = med(d, "app, PDF", 3); g = med(d, "gs alone", 3); c = med(d, "cupsfilter, PDF", 3)
      printf "target %-8s PDF through the app <= 1.25x gs alone: %.3f s vs %.3f s (%.2fx)  %s\n", d, app, g, app / g, verdict(app <= 1.25 * g)
      printf "target %-8s PDF through the app faster than the CUPS chain: %.3f s vs %.3f s  %s\n", d, app, c, verdict(app < c)
      if (has(d, "gs alone | cat")) printf "       %-8s (PDF through the app vs gs alone piped to cat: %.2fx)\n", d, app / med(d, "gs alone | cat", 3)
      if (has(d, "app, PDF, cold start")) printf "       %-8s (PDF through the app, waiting for Ghostscript to start: %.3f s, %.2fx gs alone)\n", d, med(d, "app, PDF, cold start", 3), med(d, "app, PDF, cold start", 3) / g
    }
    if (has(textdoc, "gs alone, pages 1-2")) {
      g2 = med(textdoc, "gs alone, pages 1-2", 3)
      fb = med(textdoc, "app, PDF", 4); p1 = med(textdoc, "app, PDF", 5)
      printf "target %-8s first byte on the device before gs alone has pages 1-2: %.3f s vs %.3f s  %s\n", textdoc, fb, g2, verdict((fb >= 0) && (fb < g2))
      printf "       %-8s (page 1 whole on the device: %.3f s)\n", textdoc, p1
    }
    for (a = 1; a <= nd; a++) {
      d = D[a]
      if (!has(d, "app, PWG raster") || !has(d, "filter alone, PWG raster")) continue
      app = med(d, "app, PWG raster", 3); f = med(d, "filter alone, PWG raster", 3)
      printf "target %-8s PWG raster through the app <= 1.25x the filter alone: %.3f s vs %.3f s (%.2fx)  %s\n", d, app, f, app / f, verdict(app <= 1.25 * f)
    }
    printf "target server peak RSS flat over %d jobs (job %d -> %d grows < 2 MiB): %.1f -> %.1f MiB%s  %s\n", memjobs, memfrom, memjobs, mema / 1024, memb / 1024, (memfailed > 0) ? sprintf(" (%d jobs not completed)", memfailed) : "", verdict((memb - mema < 2048) && (memfailed == 0))
    if (has(photodoc, "app, PDF")) {
      rss = med(photodoc, "app, PDF", 7)
      printf "target server peak RSS while printing %s < 64 MiB: %.1f MiB  %s\n", photodoc, rss / 1024, verdict((rss > 0) && (rss < 65536))
    }
  }' "$RESULTS"
