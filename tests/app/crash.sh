#!/usr/bin/env bash
# Crash and restart: the server is killed (-9) while a PDF job prints with
# two more queued. After a restart the printer and its settings are back,
# the interrupted job is aborted with a reason, the queued jobs print without
# a new job to wake them, Get-Jobs repeats no job, and SIGTERM with jobs
# queued returns within 5 seconds.
# Usage: crash.sh BUILD_DIR SAMPLES_DIR
set -euo pipefail
build=$1 samples=$2
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
trap 'app_stop || exit 1' EXIT
state="$APP_DIR/corvane-printer-app.state" printer=corvane
app_add_printer "$printer" "file://$APP_DIR/out?ext=pcl"
ipptool -t "$APP_URI/ipp/print/$printer" "$(ipp_request settings Set-Printer-Attributes ' GROUP printer-attributes-tag
 ATTR keyword print-color-mode-default monochrome\n ATTR keyword media-ready iso_a4_210x297mm,na_letter_8.5x11in')" >/dev/null
submit() { app_submit "$printer" "$samples/sample.pdf" "$@"; }
long=$(submit -t long -o copies=20) second=$(submit -t second) third=$(submit -t third)

# Kill once the saved state has the long job printing and the others queued.
saved_printing() { grep -q "^Job .* id=\"$long\" .*state=\"5\"" "$state" && [ "$(grep -c '^Job ' "$state")" = 3 ]; }
wait_for 20 saved_printing 2>/dev/null || { echo "the state never showed job $long printing"; exit 1; }
kill -9 "$APP_PID"; wait "$APP_PID" 2>/dev/null || true
app_restart

# Settings and ready media came back.
attributes=$(ipptool -tv "$APP_URI/ipp/print/$printer" get-printer-attributes.test || true)
grep -q "media-ready.*iso_a4_210x297mm" <<<"$attributes" || { echo "ready media lost"; exit 1; }
grep -q "print-color-mode-default.*monochrome" <<<"$attributes" || { echo "default colour mode lost"; exit 1; }

app_expect_job "$printer" "$long" aborted 10
app_job_attr "$printer" "$long" job-state-reasons | matches aborted-by-system || { echo "job $long has no reason"; exit 1; }
app_expect_job "$printer" "$second" completed 40
app_expect_job "$printer" "$third" completed 40
pcl_check "$APP_DIR/out/third.pcl"

# Get-Jobs passes and names each job once.
jobs=$(ipp_request get-jobs Get-Jobs ' ATTR keyword which-jobs all\n ATTR keyword requested-attributes job-id,job-uri,job-uuid
 DISPLAY job-id\n DISPLAY job-uri\n DISPLAY job-uuid')
ipptool -tv "$APP_URI/ipp/print/$printer" "$jobs" >"$APP_DIR/jobs.txt" || { cat "$APP_DIR/jobs.txt"; exit 1; }
for attr in job-id job-uri job-uuid; do
  values=$(grep -E "^ +$attr \(" "$APP_DIR/jobs.txt" | sort)
  [ "$(wc -l <<<"$values")" = 3 ] && [ -z "$(uniq -d <<<"$values")" ] || { echo "Get-Jobs $attr values:"; echo "$values"; exit 1; }
done

# SIGTERM returns promptly with jobs queued; they are there after a restart,
# and each printer comes back as it was (a printer paused before the stop
# stays paused).
app_add_printer paused "file://$APP_DIR/out?ext=pcl"
ipptool -t "$APP_URI/ipp/print/paused" "$(ipp_request pause Pause-Printer '')" >/dev/null
printer_state() {
  ipptool -c "$APP_URI/ipp/print/$1" "$(ipp_request state Get-Printer-Attributes \
    ' ATTR keyword requested-attributes printer-state\n DISPLAY printer-state')" | tail -n +2
}
submit -t q1 -o copies=20 >/dev/null
queued=$(submit -t q2)
start=$SECONDS
kill -TERM "$APP_PID"; wait "$APP_PID" 2>/dev/null || true
stopped=$((SECONDS - start))
[ "$stopped" -le 5 ] || { echo "SIGTERM took $stopped s"; exit 1; }
app_restart
app_expect_job "$printer" "$queued" completed 40
[ "$(printer_state paused)" = stopped ] || { echo "the paused printer came back $(printer_state paused)"; exit 1; }
