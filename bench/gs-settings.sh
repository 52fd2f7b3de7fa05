#!/usr/bin/env bash
# Times Ghostscript alone (output to /dev/null) with the options the printer
# application gives its renderer, on its 24-bit RGB raster devices and with
# variations of the rendering settings, beside the app's renderer, on the
# benchmark documents: the measurements behind the app's choice.
#
#   bench/gs-settings.sh [--runs R] PDF...
#
# Environment: BUILD_DIR (default <repo>/build-bench; appbench must be built).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build-bench}
RUNS=3
if [ "${1:-}" = --runs ]; then RUNS=$2; shift 2; fi
[ $# -gt 0 ] || { sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
TMP=$(mktemp -d /tmp/corvane-gs-settings.XXXXXX)
trap 'rm -rf "$TMP"' EXIT

# Variations: a label, then arguments that replace or join the app's own.
variants=(
  "ppmraw device|"
  "bmp16m device|-sDEVICE=bmp16m"
  "png16m device|-sDEVICE=png16m"
  "pwgraster device|-sDEVICE=pwgraster -dcupsColorSpace=19 -dcupsBitsPerColor=8"
  "cups device|-sDEVICE=cups -dcupsColorSpace=19 -dcupsBitsPerColor=8"
  "the app's renderer (ppmraw device, rows encoded; cups device for shaded pages)|RENDERER"
  "the app's renderers on two cores|RENDERERS"
  "2 processes, odd and even pages|PAIR"
  "start alone (no document)|START"
  "2 rendering threads|-dNumRenderingThreads=2"
  "whole page in memory|-dMaxBitmap=2000000000"
  "bands 32 MiB|-dMaxBitmap=0 -dBufferSpace=32000000"
)

for ((run = 0; run < RUNS; run++)); do
  for pdf in "$@"; do
    mapfile -t base < <("$BUILD/bench/appbench" gs-command "$pdf")
    for ((i = 0; i < ${#variants[@]}; i++)); do
      v=${variants[(i + run) % ${#variants[@]}]}
      label=${v%%|*}
      read -r -a extra <<<"${v#*|}"
      if [ "${extra[*]}" = RENDERER ]; then
        # The app's renderer as the app runs it (found in the build folder).
        cmd=(env "PATH=$BUILD:$PATH" "$BUILD/bench/appbench" render "$pdf")
      elif [ "${extra[*]}" = RENDERERS ]; then
        cmd=(env "PATH=$BUILD:$PATH" "$BUILD/bench/appbench" render --shared "$pdf")
      elif [ "${extra[*]}" = PAIR ]; then
        # Two Ghostscripts at once, each with every other page.
        odd=() even=()
        for arg in "${base[@]/#-sOutputFile=*/-sOutputFile=/dev/null}"; do
          [ "$arg" != -f ] || { odd+=(-sPageList=odd); even+=(-sPageList=even); }
          odd+=("$arg"); even+=("$arg")
        done
        cmd=(sh -c "$(printf '%q ' "${odd[@]}") & $(printf '%q ' "${even[@]}") & wait")
      elif [ "${extra[*]}" = START ]; then
        # What a renderer started before its job saves: Ghostscript's start.
        cmd=()
        for arg in "${base[@]}"; do
          case $arg in -sOutputFile=*) cmd+=(-sOutputFile=/dev/null) ;; -f) break ;; *) cmd+=("$arg") ;; esac
        done
        cmd+=(-c quit)
      else
        cmd=()
        for arg in "${base[@]}"; do
          case $arg in
            -sOutputFile=*) cmd+=("${extra[@]}" -sOutputFile=/dev/null) ;;
            -sDEVICE=*) [[ " ${extra[*]} " == *" -sDEVICE="* ]] || cmd+=("$arg") ;;
            *) cmd+=("$arg") ;;
          esac
        done
      fi
      t0=${EPOCHREALTIME/[.,]/}
      /usr/bin/time -f '%U %S %M' -o "$TMP/cpu" "${cmd[@]}" >/dev/null 2>&1 ||
        { echo "gs-settings.sh: gs failed: ${cmd[*]}" >&2; exit 1; }
      t1=${EPOCHREALTIME/[.,]/}
      read -r user sys rss <"$TMP/cpu"
      printf '%s\t%s\t%s\t%s\t%s\n' "$(basename "$pdf" .pdf)" "$label" "$((t1 - t0))" \
        "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" "$rss" >>"$TMP/times.tsv"
    done
  done
done

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), gs $(gs --version); $RUNS runs, medians"
echo "| document | settings | seconds | CPU s | gs peak RSS |"
echo "|---|---|---|---|---|"
sort -t$'\t' -k1,1 -k2,2 -s "$TMP/times.tsv" | awk -F'\t' '
  function flush() {
    if (n == 0) return
    for (i = 2; i <= n; i++) for (j = i; j > 1 && w[j - 1] > w[j]; j--) { t = w[j]; w[j] = w[j - 1]; w[j - 1] = t }
    for (i = 2; i <= n; i++) for (j = i; j > 1 && c[j - 1] > c[j]; j--) { t = c[j]; c[j] = c[j - 1]; c[j - 1] = t }
    for (i = 2; i <= n; i++) for (j = i; j > 1 && m[j - 1] > m[j]; j--) { t = m[j]; m[j] = m[j - 1]; m[j - 1] = t }
    k = int((n + 1) / 2)
    printf "| %s | %s | %.3f | %.2f | %.0f MiB |\n", doc, label, w[k] / 1e6, c[k], m[k] / 1024
    n = 0
  }
  $1 != doc || $2 != label { flush(); doc = $1; label = $2 }
  { n++; w[n] = $3; c[n] = $4; m[n] = $5 }
  END { flush() }'
