#!/usr/bin/env bash
# Jobs that overlap on one printer: clients send jobs at the same time, so
# jobs arrive just as others end, and the job printing is canceled at a
# different moment each round. PAPPL 1.3.1 then may start two jobs at once,
# or one job twice; the app must still print one job at a time. Checked on
# a file:// printer (each completed job's file decodes with its page) and on
# a socket:// printer (every connection's bytes decode: no job's bytes
# inside another's, and no job printed twice), with the server alive (and,
# in a sanitized build, no report).
# Usage: queue-race.sh BUILD_DIR SAMPLES_DIR TCPSINK
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: queue-race.sh BUILD_DIR SAMPLES_DIR TCPSINK" >&2; exit 2; }
build=$1 samples=$2 sink=$3
PCLINSPECT=$build/pclinspect
command -v gs >/dev/null || { echo "SKIP: gs is not installed"; exit 77; }
# shellcheck source=peer-lib.sh
source "$(dirname "$0")/peer-lib.sh"

rounds=6 clients=3 jobs_per_client=2
sink_pid=
cleanup() { [ -z "$sink_pid" ] || { kill "$sink_pid"; wait "$sink_pid"; } 2>/dev/null; app_stop; }
trap cleanup EXIT
app_start "$build" || exit 1
out=$APP_DIR/out net=$APP_DIR/net
mkdir -p "$net"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=jpeggray -r30 -dLastPage=1 -sOutputFile="$APP_DIR/page.jpg" "$samples/sample.pdf"
"$sink" -d "$net" >"$APP_DIR/sink.port" &
sink_pid=$!
for ((waited = 0; waited < 50; waited++)); do [ -s "$APP_DIR/sink.port" ] && break; sleep 0.1; done
app_add_printer files "file://$out?ext=pcl" || exit 1
app_add_printer net "socket://127.0.0.1:$(cat "$APP_DIR/sink.port")" || exit 1

failed=0
check() {  # check WHAT COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}

# One round on PRINTER: every client sends its jobs one after the other,
# all clients at once; the job printing after DELAY seconds is canceled.
round() {  # round PRINTER ROUND DELAY
    local printer=$1 round=$2 delay=$3 client job id senders=()
    for ((client = 1; client <= clients; client++)); do
        for ((job = 1; job <= jobs_per_client; job++)); do
            app_submit "$printer" "$APP_DIR/page.jpg" -t "r$round-c$client-j$job" -o media=iso_a6_105x148mm >/dev/null
        done &
        senders+=($!)
    done
    sleep "$delay"
    id=$(app_jobs "$printer" not-completed | awk '$2 == "processing" { print $1; exit }')
    [ -z "$id" ] || "$APP" cancel -u "$(app_printer_uri "$printer")" -j "$id" 2>/dev/null
    wait "${senders[@]}"
}

for printer in files net; do
    for ((r = 1; r <= rounds; r++)); do round "$printer" "$r" "0.$((r * 15 / 10))"; done
done
check "every job ended" app_wait_idle files 120
check "every job ended on the socket printer" app_wait_idle net 120
check "the server is alive" kill -0 "$APP_PID"

# file://: each completed job's own file holds its one page.
completed_files() { app_jobs files completed | awk '$2 == "completed" { print $3 }'; }
file_ok() {
    local name
    for name in $(completed_files); do
        pcl_check "$out/$name.pcl" || { echo "  $name.pcl does not decode"; return 1; }
        [ "$("$PCLINSPECT" "$out/$name.pcl" | awk '/^pages:/ { print $2 }')" = 1 ] ||
            { echo "  $name.pcl: not one page"; return 1; }
    done
}
check "$(completed_files | wc -l) completed jobs on file://, each file decodes with its page" file_ok

# socket://: every connection decodes (no job's bytes inside another's);
# each completed job was sent exactly once, and no job twice.
sent_names() { cat "$net"/*.pcl | grep -ao '@PJL JOB NAME = "[^"]*"' | sed 's/.*= "//; s/"$//' | sort; }
net_ok() {
    local stream name twice
    for stream in "$net"/*.pcl; do pcl_check "$stream" || { echo "  $stream does not decode"; return 1; }; done
    twice=$(sent_names | uniq -d)
    [ -z "$twice" ] || { echo "  sent twice: $twice"; return 1; }
    for name in $(app_jobs net completed | awk '$2 == "completed" { print $3 }'); do
        sent_names | grep -qxF "$name" || { echo "  $name never reached the printer"; return 1; }
    done
}
check "$(ls "$net" | wc -l) connections on socket://, $(sent_names | wc -l) jobs sent, each once, each decodes" net_ok
[ "$failed" -eq 0 ] || app_log_tail
check "the server stops with no sanitizer report" app_stop
exit "$failed"
