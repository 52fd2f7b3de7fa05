#!/usr/bin/env bash
# Jobs that overlap on one printer: clients send jobs at the same time, so
# jobs arrive just as others end, and the job printing is canceled at a
# different moment each round. PAPPL 1.3.1 then may start two jobs at once,
# or one job twice; the app must still print one job at a time. Checked on
# a file:// printer (each completed job's file decodes with its page) and on
# a socket:// printer (every connection's bytes decode: no job's bytes
# inside another's, and no job printed twice), with the server alive (and,
# in a sanitized build, no report).
# Usage: queue-race.sh BUILD_DIR SAMPLES_DIR
set -uo pipefail
build=$1 samples=$2
command -v gs >/dev/null || { echo "SKIP: gs is not installed"; exit 77; }
source "$(dirname "$0")/app-lib.sh"

trap app_stop EXIT
app_start "$build" || exit 1
out=$APP_DIR/out net=$APP_DIR/net
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=jpeggray -r30 -dLastPage=1 -sOutputFile="$APP_DIR/page.jpg" "$samples/sample.pdf"
sink_start "$net" && app_add_printer files "file://$out?ext=pcl" && app_add_printer net "socket://127.0.0.1:$SINK_PORT" ||
    exit 1

# One round on PRINTER: three clients send two jobs each, one after the
# other, all clients at once; the job printing after DELAY seconds is canceled.
round() {  # round PRINTER ROUND DELAY
    local printer=$1 round=$2 client job id senders=()
    for client in 1 2 3; do
        for job in 1 2; do
            app_submit "$printer" "$APP_DIR/page.jpg" -t "r$round-c$client-j$job" -o media=iso_a6_105x148mm >/dev/null
        done &
        senders+=($!)
    done
    sleep "$3"
    id=$(app_jobs "$printer" not-completed | awk '$2 == "processing" { print $1; exit }')
    [ -z "$id" ] || "$APP" cancel -u "$APP_URI/ipp/print/$printer" -j "$id" 2>/dev/null
    wait "${senders[@]}"
}
for printer in files net; do
    for r in 1 2 3 4 5 6; do round "$printer" "$r" "0.$((r * 15 / 10))"; done
done
check "every job ended" app_wait_idle files 120
check "every job ended on the socket printer" app_wait_idle net 120
check "the server is alive" kill -0 "$APP_PID"

# file://: each completed job's own file holds its one page.
completed() { app_jobs "$1" completed | awk '$2 == "completed" { print $3 }'; }
file_ok() {
    local name
    for name in $(completed files); do
        [ "$(app_pages "$out/$name.pcl")" = 1 ] || { echo "  $name.pcl: not one page"; return 1; }
    done
}
check "$(completed files | wc -l) completed jobs on file://, each file decodes with its page" file_ok

# socket://: every connection decodes (no job's bytes inside another's);
# each completed job was sent exactly once, and no job twice.
sent_names() { cat "$net"/*.pcl | grep -ao '@PJL JOB NAME = "[^"]*"' | sed 's/.*= "//; s/"$//' | sort; }
net_ok() {
    local stream name twice
    for stream in "$net"/*.pcl; do pcl_check "$stream" || return 1; done
    twice=$(sent_names | uniq -d)
    [ -z "$twice" ] || { echo "  sent twice: $twice"; return 1; }
    for name in $(completed net); do
        sent_names | matches -xF "$name" || { echo "  $name never reached the printer"; return 1; }
    done
}
check "$(ls "$net" | wc -l) connections on socket://, $(sent_names | wc -l) jobs sent, each once, each decodes" net_ok
[ "$failed" -eq 0 ] || app_log_tail
check "the server stops with no sanitizer report" app_stop
finish
