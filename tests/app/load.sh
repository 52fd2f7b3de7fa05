#!/usr/bin/env bash
# Load: 40 jobs (PWG raster, JPEG, PNG, PDF in turn) from 4 clients at once,
# every other one without a job name, to one file:// device. Every job must
# end completed, with its own output file (40 files), each a well-formed
# printer stream with the job's page count; spool, state, log and output
# files must be the user's only, and no document may stay in the spool.
# Usage: load.sh BUILD_DIR SAMPLES_DIR
set -euo pipefail
build=$1 samples=$2
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
trap 'app_stop || exit 1' EXIT
app_add_printer load "file://$APP_DIR/out?ext=pcl"
app_make_documents "$samples"
docs=$APP_DIR/docs out=$APP_DIR/out

# Document, format and pages printed, by kind (job number modulo 4).
files=(a6.pwg page.jpg page.png sample.pdf)
formats=(image/pwg-raster image/jpeg image/png application/pdf)
pages=(2 1 1 3)

client() {  # CLIENT: ten jobs, one after the other; lines "id kind name"
  local c=$1 k kind name id
  for k in $(seq 0 9); do
    kind=$(((c + k) % 4)) name=
    [ $((k % 2)) = 1 ] || name="load-$c-$k"
    id=$(app_print load "$docs/${files[kind]}" "${formats[kind]}" "$name" iso_a6_105x148mm)
    echo "$id $kind ${name:--}"
  done >"$APP_DIR/client-$c"
}

started=$SECONDS
clients=()
for c in 0 1 2 3; do client "$c" & clients+=($!); done
wait "${clients[@]}"
cat "$APP_DIR"/client-* >"$APP_DIR/jobs"
[ "$(wc -l <"$APP_DIR/jobs")" = 40 ] || { echo "$(wc -l <"$APP_DIR/jobs") of 40 jobs accepted"; exit 1; }

# Named jobs: each file holds its own job's pages. Unnamed jobs ("Untitled",
# "Untitled-2", ...): together the pages of the unnamed jobs.
unnamed=()
while read -r id kind name; do
  app_expect_job load "$id" completed
  if [ "$name" = - ]; then unnamed+=("${pages[kind]}"); continue; fi
  got=$(app_pages "$out/$name.pcl")
  [ "$got" = "${pages[kind]}" ] || { echo "$name: $got pages, expected ${pages[kind]}"; exit 1; }
done <"$APP_DIR/jobs"
echo "40 jobs completed in $((SECONDS - started)) s"
[ "$(find "$out" -type f | wc -l)" = 40 ] || { echo "not 40 output files:"; ls "$out"; exit 1; }
expected=$(printf '%s\n' "${unnamed[@]}" | sort | tr '\n' ' ')
got=$(for file in "$out"/Untitled*.pcl; do app_pages "$file"; done | sort | tr '\n' ' ')
[ "$expected" = "$got" ] || { echo "unnamed jobs: pages $got, expected $expected"; exit 1; }

app_check_private_files
