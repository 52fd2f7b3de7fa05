#!/usr/bin/env bash
# End-to-end benchmark of corvane-printer-app: a server on a free loopback
# port with its own state folder, a socket:// printer whose listener counts
# the bytes (bench/appbench), PDF and PWG raster jobs from submit to
# "completed", side by side with Ghostscript alone on its 24-bit RGB raster
# devices (the fastest one is "gs alone"), the CUPS chain (cupsfilter with
# our PPD) and the filter alone on the same pages. Each mechanism of the PDF
# path is timed switched off in the same runs (two more servers of the same
# build, started with the build's benchmark switches).
#
#   bench/app-e2e.sh [--quick] [--runs R] [--mem-jobs N]
#
#   --quick       short documents (4 text, 2 photographic, 2 office pages),
#                 1 run, 20 jobs for the memory check (about a minute)
#   --runs R      repetitions, medians reported (default 5)
#   --mem-jobs N  sequential jobs of the memory check (default 100)
#
# Environment: BUILD_DIR (default <repo>/build-bench, configured with
# CORVANE_BENCH_SWITCHES=ON), BENCH_TMP (work folder, removed at the end
# unless KEEP=1).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build-bench}
RUNS=5
MEM_JOBS=100
TEXT_PAGES=20
PHOTO_PAGES=10
OFFICE_PAGES=10
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) RUNS=1; MEM_JOBS=20; TEXT_PAGES=4; PHOTO_PAGES=2; OFFICE_PAGES=2 ;;
    --runs) RUNS=$2; shift ;;
    --mem-jobs) MEM_JOBS=$2; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; exit 0 ;;
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
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCORVANE_BENCH=ON -DCORVANE_BENCH_SWITCHES=ON \
  -DCORVANE_TESTS=OFF >/dev/null
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

# --- documents: PDF (made once per build folder) and the same pages as PWG
# raster, rendered as Ghostscript's pwgraster device renders them
DOCS=$BUILD/bench/app-docs
TEXT_DOC=text$TEXT_PAGES PHOTO_DOC=photo$PHOTO_PAGES OFFICE_DOC=office$OFFICE_PAGES
if [ ! -f "$DOCS/$TEXT_DOC.pdf" ] || [ ! -f "$DOCS/$PHOTO_DOC.pdf" ] || [ ! -f "$DOCS/$OFFICE_DOC.pdf" ] ||
   [ "$ROOT/bench/make-app-docs.py" -nt "$DOCS/$PHOTO_DOC.pdf" ]; then
  echo "Making the benchmark documents in $DOCS ..." >&2
  python3 "$ROOT/bench/make-app-docs.py" "$DOCS" "$TEXT_PAGES" "$PHOTO_PAGES" "$OFFICE_PAGES"
fi
DOC_NAMES="sample $TEXT_DOC $PHOTO_DOC $OFFICE_DOC"
declare -A PDF PAGES
PDF[sample]=$ROOT/samples/sample.pdf; PAGES[sample]=3
PDF[$TEXT_DOC]=$DOCS/$TEXT_DOC.pdf; PAGES[$TEXT_DOC]=$TEXT_PAGES
PDF[$PHOTO_DOC]=$DOCS/$PHOTO_DOC.pdf; PAGES[$PHOTO_DOC]=$PHOTO_PAGES
PDF[$OFFICE_DOC]=$DOCS/$OFFICE_DOC.pdf; PAGES[$OFFICE_DOC]=$OFFICE_PAGES

# Ghostscript's 24-bit RGB raster devices, with the options the app gives
# its renderer for a Letter PDF job. The fastest one on a document is
# "gs alone" for it. (bench/gs-settings.sh times more devices.)
DEVICES="ppmraw pwgraster cups"
device_options() {
  case $1 in
    ppmraw) echo "-sDEVICE=ppmraw" ;;
    *) echo "-sDEVICE=$1 -dcupsColorSpace=19 -dcupsBitsPerColor=8" ;;
  esac
}
gs_command() {  # gs_command ARRAY-NAME DEVICE [appbench gs-command arguments...]
  local -n into=$1; local device=$2 options; shift 2
  read -r -a options <<<"$(device_options "$device")"
  mapfile -t into < <("$APPBENCH" gs-command "$@")
  into=("${into[0]}" "${options[@]}" "${into[@]:2}")
}

# The filter's settings for the app's defaults and the job name appbench
# sends, so that both write the same stream.
FILTER_ARGS=(1 user bench 1 "com.apple.print.JobInfo.PMJobName=bench PageSize=Letter")
declare -A PAGE1_END
echo "Rasterizing the documents to PWG raster in $TMP ..." >&2
for doc in $DOC_NAMES; do
  gs_command cmd pwgraster "${PDF[$doc]}"
  "${cmd[@]/#-sOutputFile=*/-sOutputFile=$TMP/$doc.ras}" 2>/dev/null >/dev/null
  "$FILTER" "${FILTER_ARGS[@]}" <"$TMP/$doc.ras" >"$TMP/$doc.pcl" 2>/dev/null
  # The byte after page 1's form feed: page 1 is on the device.
  PAGE1_END[$doc]=$("$BUILD/pclinspect" --list "$TMP/$doc.pcl" |
    awk '/form feed: page 1 ends/ && !done { print $1 + 1; done = 1 }')
  rm -f "$TMP/$doc.pcl"
done

# cupsfilter finds the filters in the ServerBin of the configuration it is given.
cupsd_make_serverbin "$TMP/serverbin" "$FILTER"
echo "ServerBin $TMP/serverbin" >"$TMP/cups-files.conf"

# --- the servers ------------------------------------------------------------------
# "app": the product as it is; "one": jobs keep one renderer however long;
# "onedevice": every page on the ppmraw device, shaded pages too.
declare -A SERVER_URI SERVER_PID SERVER_DIR
start_server() {  # start_server NAME [VARIABLE=VALUE]
  local name=$1 setting=${2:-}
  [ -z "$setting" ] || export "${setting?}"
  app_start "$BUILD"
  [ -z "$setting" ] || unset "${setting%%=*}"
  SERVER_URI[$name]=$APP_URI SERVER_PID[$name]=$APP_PID SERVER_DIR[$name]=$APP_DIR
}
cleanup() {
  for name in "${!SERVER_PID[@]}"; do
    APP_PID=${SERVER_PID[$name]} APP_DIR=${SERVER_DIR[$name]}
    app_stop || true
  done
  [ "${KEEP:-0}" = 1 ] || rm -rf "$TMP"
}
trap cleanup EXIT
start_server one CORVANE_BENCH_RENDERERS=1
start_server onedevice CORVANE_BENCH_ONE_DEVICE=1
start_server app

# --- timed runs ------------------------------------------------------------------
# One line per measurement: document, path, seconds, first byte, page 1 on
# the device, bytes, peak RSS (KiB), job state, CPU seconds (with children:
# the server's renderers, the CUPS chain's filters).
RESULTS=$TMP/results.tsv
: >"$RESULTS"
now_us() { echo "${EPOCHREALTIME/[.,]/}"; }
record() { printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >>"$RESULTS"; }

time_command() {  # time_command DOC PATH COMMAND...  (output to /dev/null)
  # CPU to the millisecond (bash's time reads the children's rusage; GNU
  # time's %U and %S cut it to 10 ms each).
  local doc=$1 path=$2 t0 t1 TIMEFORMAT='%3U %3S'; shift 2
  t0=$(now_us)
  { time "$@" >/dev/null 2>>"$TMP/stderr.log"; } 2>"$TMP/cpu" ||
    echo "app-e2e.sh: $path failed for $doc" >&2
  t1=$(now_us)
  record "$doc" "$path" "$(awk -v us=$((t1 - t0)) 'BEGIN { printf "%.4f", us / 1e6 }')" - - - - ok \
    "$(awk 'END { print $1 + $2 }' "$TMP/cpu")"
}

app_job() {  # app_job DOC PATH SERVER FORMAT FILE [appbench options...]
  local doc=$1 path=$2 server=$3 format=$4 file=$5 line; shift 5
  line=$("$APPBENCH" print --server "${SERVER_URI[$server]}" --pid "${SERVER_PID[$server]}" --format "$format" \
    --reset-peak --page-end "${PAGE1_END[$doc]:-0}" "$@" "$file" | tail -n1) || true
  # job state done first_byte page1 last_byte bytes peak cpu child_cpu
  awk -F'\t' -v doc="$doc" -v path="$path" 'BEGIN { OFS = "\t" }
    { print doc, path, $3, $4, $5, $7, $8, $2, $9 + $10 }' <<<"$line" >>"$RESULTS"
}

steps=(app gs-ppmraw gs-pwgraster gs-cups pages-ppmraw pages-pwgraster pages-cups pipe cups
       app-cold app-one app-onedevice app-pwg filter)
run_step() {  # run_step STEP DOC
  local step=$1 doc=$2 cmd
  case $step in
    gs-*)
      gs_command cmd "${step#gs-}" "${PDF[$doc]}"
      time_command "$doc" "gs ${step#gs-}" "${cmd[@]/#-sOutputFile=*/-sOutputFile=/dev/null}" ;;
    pages-*)
      # Pages 1-2 alone: the app's first byte must come before the fastest
      # device has them.
      gs_command cmd "${step#pages-}" --last 2 "${PDF[$doc]}"
      time_command "$doc" "gs ${step#pages-}, pages 1-2" "${cmd[@]/#-sOutputFile=*/-sOutputFile=/dev/null}" ;;
    pipe)
      # The same pixels and the same encoder, the pages through a pipe: the
      # PDF path without the renderer's shared memory.
      gs_command cmd cups "${PDF[$doc]}"
      time_command "$doc" "pipe: gs cups | filter" sh -c '"$@" | "$0" 1 user bench 1 "" >/dev/null' \
        "$FILTER" "${cmd[@]}" ;;
    cups)
      time_command "$doc" "cupsfilter, PDF" sh -c '"$1" -c "$2" -p "$3" -m printer/corvane -e "$4" >"$5"' \
        sh "$CUPSFILTER" "$TMP/cups-files.conf" "$PPD" "${PDF[$doc]}" "$TMP/cups.pcl" ;;
    app) app_job "$doc" "app, PDF" app application/pdf "${PDF[$doc]}" ;;
    app-cold)
      # The server starts the next job's renderer when a PDF job ends (and
      # when a printer is added); with that one stopped, the job waits for
      # Ghostscript's start.
      app_job "$doc" "app, PDF, cold start" app application/pdf "${PDF[$doc]}" --cold ;;
    app-one) app_job "$doc" "app, PDF, one renderer" one application/pdf "${PDF[$doc]}" ;;
    app-onedevice) app_job "$doc" "app, PDF, ppmraw only" onedevice application/pdf "${PDF[$doc]}" ;;
    app-pwg) app_job "$doc" "app, PWG raster" app image/pwg-raster "$TMP/$doc.ras" ;;
    filter)
      time_command "$doc" "filter alone, PWG raster" sh -c 'cat "$1" | "$2" "$3" "$4" "$5" "$6" "$7"' \
        sh "$TMP/$doc.ras" "$FILTER" "${FILTER_ARGS[@]}" ;;
  esac
}

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
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

# --- idle memory of the prepared renderer ---------------------------------------
# After a PDF job the server starts a renderer for the next one; once
# Ghostscript has started, its memory stays as it is until a job comes.
"$APPBENCH" print --server "${SERVER_URI[app]}" --pid "${SERVER_PID[app]}" --format application/pdf \
  "${PDF[sample]}" >/dev/null
idle_memory() {  # prints: renderers, RSS KiB, PSS KiB (all prepared renderers)
  local pid rss=0 pss=0 count=0
  for pid in $(pgrep -P "${SERVER_PID[app]}" -x corvane-render); do
    count=$((count + 1))
    rss=$((rss + $(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)))
    pss=$((pss + $(awk '/^Pss:/ { print $2 }' "/proc/$pid/smaps_rollup" 2>/dev/null || echo 0)))
  done
  echo "$count $rss $pss"
}
previous="" idle=""
for _ in $(seq 50); do
  sleep 0.2
  idle=$(idle_memory)
  [ "$idle" = "$previous" ] && [ "${idle%% *}" -gt 0 ] && break
  previous=$idle
done
read -r IDLE_COUNT IDLE_RSS IDLE_PSS <<<"$idle"

echo "Memory: $MEM_JOBS sequential jobs of the sample PDF ..." >&2
"$APPBENCH" print --server "${SERVER_URI[app]}" --pid "${SERVER_PID[app]}" --format application/pdf \
  --jobs "$MEM_JOBS" "${PDF[sample]}" >"$TMP/memory.tsv"
MEM_AT_FROM=$(awk -F'\t' -v n="$MEM_FROM" '$1 == n { print $8 }' "$TMP/memory.tsv")
MEM_AT_END=$(awk -F'\t' -v n="$MEM_JOBS" '$1 == n { print $8 }' "$TMP/memory.tsv")
MEM_FAILED=$(awk -F'\t' 'NR > 1 && $2 != "completed"' "$TMP/memory.tsv" | wc -l)

# --- the code of each mechanism ---------------------------------------------------
# Lines of code (no blank or comment lines) that exist only for it.
code_lines() {  # code_lines FILE [FIRST-LINE-PATTERN LAST-LINE-PATTERN]...
  local file=$ROOT/$1; shift
  if [ $# -eq 0 ]; then set -- '.' 'a line no file has'; fi
  while [ $# -ge 2 ]; do
    awk -v from="$1" -v to="$2" '
      !inside && $0 ~ from { inside = 1 }
      inside && $0 !~ /^[[:space:]]*(\/\/.*)?$/ { n++ }
      inside && $0 ~ to { inside = 0 }
      END { print n + 0 }' "$file"
    shift 2
  done | awk '{ n += $1 } END { print n }'
}
D=src/app/documents
LINES_PREPARED=$(( $(code_lines $D/rendererPool.cc '^void rendererPool::prepare[(]' '^}' \
    '^void rendererPool::prepareIfNone' '^}' '^void rendererPool::dropIdle' '^}' '^bool rendererPool::hasPrepared' '^}' \
    '^std::unique_ptr<pageRenderer> rendererPool::take' '^}') +
  $(code_lines $D/pdfFilter.cc '^void prepareRenderers' '^}') +
  $(code_lines src/app/printerApp.cc 'app.renderers = std::make_unique' 'papplSystemAddTimerCallback') ))
LINES_SECOND=$(( $(code_lines $D/pageSelection.cc '^std::vector<pageSelection> shareOut' '^}') +
  $(code_lines $D/rendererPool.cc '^rendererPool::renderers rendererPool::startDocument' '^}') +
  $(code_lines $D/pageRenderer.cc '^pageRenderer::pageRenderer[(]std::vector' '^}' \
    '^std::unique_ptr<pageRenderer> pageRenderer::fork' '^}') +
  $(code_lines $D/childProcess.cc '^forkedProcess::~forkedProcess' '^}' '^int forkedProcess::wait' '^}' \
    '^bool forkedProcess::running' '^}') +
  $(code_lines $D/corvaneRender.cc '^class twinProcess' '^};' '^void becomeTwin' '^}' '^void ownDocumentFiles' '^}') ))
LINES_SHADED=$(( $(code_lines $D/shadedPages.cc) + $(code_lines $D/shadedPages.h) +
  $(code_lines $D/corvaneRender.cc '^class rasterPages' '^};') ))
LINES_SHARED=$(( $(code_lines $D/bandProtocol.h) +
  $(code_lines $D/corvaneRender.cc '^class sharedSlots' '^};' '^class slotSink' '^};') + $(code_lines $D/pageRenderer.cc) ))

# --- report --------------------------------------------------------------------
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(free -g | awk '/^Mem:/{print $2}') GiB, $(uname -srm), gs $(gs --version), PAPPL $(pkg-config --modversion pappl 2>/dev/null || echo '?'), $(date -u '+%Y-%m-%d %H:%M UTC'), load average $LOAD_BEFORE before the runs, $(cut -d' ' -f1-3 /proc/loadavg) after"
echo "Jobs: US Letter 600 dpi sRGB, socket:// device on loopback; $RUNS run(s), medians; CPU s = user + system, children included (the app's renderers), mean of the runs"
echo "gs alone: $(gs_command cmd ppmraw X; echo "${cmd[@]:3:${#cmd[@]}-5}") -sOutputFile=/dev/null, with each device; the app: corvane-render (ppmraw/pgmraw device read in place, cups device for pages with smooth shadings, rows encoded in the renderer, printer bytes in shared memory)"
echo
pages_list=""
for doc in $DOC_NAMES; do pages_list+="$doc=${PAGES[$doc]} "; done
awk -F'\t' -v docs="$DOC_NAMES" -v pageslist="$pages_list" -v devices="$DEVICES" -v photodoc="$PHOTO_DOC" \
    -v memfrom="$MEM_FROM" -v memjobs="$MEM_JOBS" -v mema="$MEM_AT_FROM" -v memb="$MEM_AT_END" \
    -v memfailed="$MEM_FAILED" -v idlecount="$IDLE_COUNT" -v idlerss="$IDLE_RSS" -v idlepss="$IDLE_PSS" \
    -v lprepared="$LINES_PREPARED" -v lsecond="$LINES_SECOND" -v lshaded="$LINES_SHADED" -v lshared="$LINES_SHARED" '
  function median(key, col,   m, i, j, v, tmp) {
    m = n[key]
    for (i = 1; i <= m; i++) v[i] = val[key, col, i]
    for (i = 2; i <= m; i++) { tmp = v[i]; for (j = i - 1; j >= 1 && v[j] > tmp; j--) v[j + 1] = v[j]; v[j + 1] = tmp }
    return (m % 2) ? v[(m + 1) / 2] : (v[m / 2] + v[m / 2 + 1]) / 2
  }
  # The fastest run: what a path does when the other load on the machine
  # lets it, beside the median.
  function fastest(doc, path,   key, i, v) {
    key = doc SUBSEP path; v = val[key, 3, 1]
    for (i = 2; i <= n[key]; i++) if (val[key, 3, i] < v) v = val[key, 3, i]
    return v
  }
  function has(doc, path) { return ((doc SUBSEP path) in n) }
  # CPU seconds: the mean of the runs. For the app they come from the
  # server /proc ticks (10 ms, cut at both ends of a job), whose error a
  # mean spreads over the runs where a median keeps it.
  function cpu(doc, path,   key, i, sum) {
    key = doc SUBSEP path; sum = 0
    for (i = 1; i <= n[key]; i++) sum += val[key, 9, i]
    return n[key] ? sum / n[key] : 0
  }
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
    nd = split(docs, D, " "); ndev = split(devices, DEV, " ")
    for (a = 1; a <= nd; a++) {
      d = D[a]; best[d] = ""
      for (b = 1; b <= ndev; b++)
        if (has(d, "gs " DEV[b]) && (best[d] == "" || med(d, "gs " DEV[b], 3) < med(d, "gs " best[d], 3))) best[d] = DEV[b]
    }
    printf "| %-8s | %-28s | %8s | %10s | %8s | %9s | %10s | %11s | %6s |\n", "document", "path", "seconds", "first byte", "page 1", "pages/min", "server RSS", "ratio", "CPU s"
    printf "|----------|------------------------------|----------|------------|----------|-----------|------------|-------------|--------|\n"
    for (a = 1; a <= nd; a++) {
      d = D[a]
      for (p = 1; p <= paths[d]; p++) {
        path = order[d, p]
        s = med(d, path, 3)
        fb = med(d, path, 4); p1 = med(d, path, 5); rss = med(d, path, 7)
        np = (path ~ /pages 1-2/) ? 2 : pages[d]
        ratio = ""
        if ((path ~ /^(app, PDF|gs |pipe|cupsfilter)/) && path !~ /pages 1-2/ && best[d] != "")
          ratio = sprintf("%.2fx gs", s / med(d, "gs " best[d], 3))
        if (path == "app, PWG raster" && has(d, "filter alone, PWG raster")) ratio = sprintf("%.2fx filt", s / med(d, "filter alone, PWG raster", 3))
        printf "| %-8s | %-28s | %8.3f | %10s | %8s | %9.1f | %10s | %11s | %6.3f |\n", d, path, s,
          (fb >= 0) ? sprintf("%.3f", fb) : "", (p1 >= 0) ? sprintf("%.3f", p1) : "", np * 60 / s,
          (rss >= 0) ? sprintf("%.1f MiB", rss / 1024) : "", ratio, cpu(d, path)
        if ((d SUBSEP path) in bad) problems = problems sprintf("%s / %s ended %s\n", d, path, bad[d SUBSEP path])
      }
      if (has(d, "app, PDF") && has(d, "app, PWG raster") && med(d, "app, PDF", 6) != med(d, "app, PWG raster", 6))
        problems = problems sprintf("note: %s: %d bytes from the PDF job, %d from the PWG raster job\n", d, med(d, "app, PDF", 6), med(d, "app, PWG raster", 6))
    }
    print ""
    if (problems != "") printf "%s\n", problems

    print "The PDF path against the fastest Ghostscript device alone:"
    print ""
    printf "| %-8s | %-9s | %8s | %8s | %6s | %13s | %7s | %9s | %6s | %10s | %12s |\n", "document", "fastest", "gs s", "app s", "ratio", "fastest runs", "gs CPU", "app CPU", "ratio", "first byte", "gs pages 1-2"
    printf "|----------|-----------|----------|----------|--------|---------------|---------|-----------|--------|------------|--------------|\n"
    for (a = 1; a <= nd; a++) {
      d = D[a]
      if (best[d] == "" || !has(d, "app, PDF")) continue
      g = med(d, "gs " best[d], 3); gc = cpu(d, "gs " best[d]); app = med(d, "app, PDF", 3); ac = cpu(d, "app, PDF")
      fb = med(d, "app, PDF", 4); g2 = med(d, "gs " best[d] ", pages 1-2", 3)
      printf "| %-8s | %-9s | %8.3f | %8.3f | %5.2fx | %12.2fx | %7.3f | %9.3f | %5.2fx | %10.3f | %12.3f |\n", d, best[d], g, app, app / g, fastest(d, "app, PDF") / fastest(d, "gs " best[d]), gc, ac, (gc > 0) ? ac / gc : 0, fb, g2
      t = t sprintf("target %-8s PDF through the app <= 1.25x the fastest gs device (%s): %.3f s vs %.3f s (%.2fx)  %s\n", d, best[d], app, g, app / g, verdict(app <= 1.25 * g))
      t = t sprintf("target %-8s CPU per job <= 1.5x that device: %.3f s vs %.3f s (%.2fx)  %s\n", d, ac, gc, (gc > 0) ? ac / gc : 0, verdict(ac <= 1.5 * gc))
      t = t sprintf("target %-8s first byte before that device has pages 1-2: %.3f s vs %.3f s  %s\n", d, fb, g2, verdict((fb >= 0) && (fb < g2)))
    }
    print ""
    printf "%s", t
    printf "target idle memory of prepared renderers <= 25 MiB: %d renderer(s), %.1f MiB RSS (%.1f MiB PSS)  %s\n", idlecount, idlerss / 1024, idlepss / 1024, verdict(idlecount > 0 && idlerss <= 25 * 1024)
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

    print ""
    print "Each mechanism of the PDF path switched off, same runs (gain: median time off / median time on - 1, and the same of the fastest runs; it pays at 10% or more on some document):"
    print ""
    m[1] = "renderer started before the job"; off[1] = "app, PDF, cold start"; lines[1] = lprepared
    m[2] = "second renderer, forked"; off[2] = "app, PDF, one renderer"; lines[2] = lsecond
    m[3] = "cups device for shaded pages"; off[3] = "app, PDF, ppmraw only"; lines[3] = lshaded
    m[4] = "renderer encodes, shared memory"; off[4] = "pipe: gs cups | filter"; lines[4] = lshared
    printf "| %-32s | %5s | %-8s | %7s | %7s | %6s | %13s | %7s | %7s |\n", "mechanism", "lines", "document", "on s", "off s", "gain", "fastest runs", "CPU on", "CPU off"
    printf "|----------------------------------|-------|----------|---------|---------|--------|---------------|---------|---------|\n"
    for (i = 1; i <= 4; i++) {
      top = -1
      for (a = 1; a <= nd; a++) {
        d = D[a]
        if (!has(d, "app, PDF") || !has(d, off[i])) continue
        on = med(d, "app, PDF", 3); of = med(d, off[i], 3); gain = of / on - 1
        if (gain > top) top = gain
        printf "| %-32s | %5d | %-8s | %7.3f | %7.3f | %5.0f%% | %12.0f%% | %7.3f | %7.3f |\n", m[i], lines[i], d, on, of, 100 * gain, 100 * (fastest(d, off[i]) / fastest(d, "app, PDF") - 1), cpu(d, "app, PDF"), cpu(d, off[i])
      }
      if (top > -1) pays = pays sprintf("mechanism %-32s best gain %4.0f%%  %s\n", m[i], 100 * top, top >= 0.10 ? "PAYS" : "DOES NOT PAY")
    }
    print ""
    printf "%s", pays
  }' "$RESULTS"
