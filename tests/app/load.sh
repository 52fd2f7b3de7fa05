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
trap app_stop EXIT
app_add_printer load "file://$APP_DIR/out?ext=pcl"
app_make_documents "$samples"
docs=$APP_DIR/docs

# Document, format and pages printed, by kind (job number modulo 4).
files=(a6.pwg page.jpg page.png sample.pdf)
formats=(image/pwg-raster image/jpeg image/png application/pdf)
pages=(2 1 1 3)

client() {  # CLIENT: ten jobs, one after the other; lines "id kind name"
  local c=$1 k kind name id
  for k in $(seq 0 9); do
    kind=$(((c + k) % 4))
    name=""
    if [ $((k % 2)) = 0 ]; then name="load-$c-$k"; fi
    id=$(app_print load "$docs/${files[kind]}" "${formats[kind]}" "$name" iso_a6_105x148mm)
    echo "$id $kind ${name:--}"
  done >"$APP_DIR/client-$c"
}

started=$SECONDS
clients=()
for c in 0 1 2 3; do
  client "$c" &
  clients+=($!)
done
wait "${clients[@]}"
cat "$APP_DIR"/client-* >"$APP_DIR/jobs"
[ "$(wc -l <"$APP_DIR/jobs")" = 40 ] || { echo "$(wc -l <"$APP_DIR/jobs") of 40 jobs accepted"; exit 1; }

while read -r id kind name; do
  state=$(app_wait_job load "$id" 60)
  [ "$state" = completed ] || { echo "job $id ($name, ${files[kind]}): $state"; exit 1; }
done <"$APP_DIR/jobs"
echo "40 jobs completed in $((SECONDS - started)) s"

count=$(find "$APP_DIR/out" -type f | wc -l)
[ "$count" = 40 ] || { echo "$count output files for 40 jobs"; ls "$APP_DIR/out"; exit 1; }

# Named jobs: each file holds its own job's pages. Unnamed jobs ("Untitled",
# "Untitled-2", ...): together the pages of the unnamed jobs.
expected_unnamed=() got_unnamed=()
while read -r id kind name; do
  if [ "$name" = - ]; then
    expected_unnamed+=("${pages[kind]}")
    continue
  fi
  got=$(app_pages "$APP_DIR/out/$name.pcl")
  [ "$got" = "${pages[kind]}" ] || { echo "$name: $got pages, expected ${pages[kind]}"; exit 1; }
done <"$APP_DIR/jobs"
for file in "$APP_DIR"/out/Untitled*.pcl; do got_unnamed+=("$(app_pages "$file")"); done
expected=$(printf '%s\n' "${expected_unnamed[@]}" | sort | tr '\n' ' ')
got=$(printf '%s\n' "${got_unnamed[@]}" | sort | tr '\n' ' ')
[ "$expected" = "$got" ] || { echo "unnamed jobs: pages $got, expected $expected"; exit 1; }
echo "40 distinct files, each well formed with its job's pages"

app_check_private_files
echo "spool, state, log and output files are the user's only; spool empty"
