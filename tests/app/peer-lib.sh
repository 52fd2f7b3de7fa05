# Helpers the peer tests add to app-lib.sh (sourced here). Source this file,
# then, after app_start:
#   app_wait_up NAME          wait until printer NAME has been up for 2 s
#                             (printer-up-time is 0 in its first second, and
#                             conformance tools fail on that)
#   app_wait_idle NAME [SECS] wait until no job of NAME is pending, held or
#                             processing
#   app_all_completed NAME    every job of NAME that ended, completed
#   app_wait_jobs NAME [SECS] both
#   app_log_tail              the end of the server's output and log, on stderr
#   app_printer_uri NAME      the printer's IPP address
#   pcl_check FILE            pclinspect --check passes on the stream

# shellcheck source=app-lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/app-lib.sh"

app_log() { echo "app: $*" >&2; }

app_printer_uri() { echo "$APP_URI/ipp/print/$1"; }

app_log_tail() {
    tail -n 30 "$APP_DIR/server.out" "$APP_LOG" >&2 2>/dev/null || true
}

app_wait_up() {
    local waited request
    request=$(ipp_request printer-up Get-Printer-Attributes \
        ' ATTR keyword requested-attributes printer-up-time\n EXPECT printer-up-time WITH-VALUE >1')
    for ((waited = 0; waited < 100; waited++)); do
        ipptool -q -T 5 "$(app_printer_uri "$1")" "$request" 2>/dev/null && return 0
        sleep 0.1
    done
    app_log "printer $1 does not answer"
    app_log_tail
    return 1
}

# app_jobs NAME WHICH: "ID STATE NAME" lines for WHICH (completed, not-completed).
app_jobs() {
    ipptool -c -T 10 -d which="$2" "$(app_printer_uri "$1")" "$(ipp_request jobs Get-Jobs \
        ' ATTR keyword which-jobs $which\n ATTR keyword requested-attributes job-id,job-state,job-name\n DISPLAY job-id\n DISPLAY job-state\n DISPLAY job-name')" | tail -n +2 | tr ',' ' '
}

app_wait_idle() {
    local name=$1 limit=${2:-120} waited active
    for ((waited = 0; waited < limit * 10; waited++)); do
        active=$(app_jobs "$name" not-completed) || { app_log "Get-Jobs failed"; return 1; }
        [ -n "$active" ] || return 0
        sleep 0.1
    done
    app_log "jobs still active after $limit s: $active"
    app_log_tail
    return 1
}

app_all_completed() {
    app_jobs "$1" completed | awk '$2 != "completed" { bad = 1 } END { exit bad }' && return 0
    app_log "a job did not complete:"
    app_jobs "$1" completed >&2
    app_log_tail
    return 1
}

app_wait_jobs() { app_wait_idle "$@" && app_all_completed "$1"; }

# pcl_check FILE: pclinspect (PCLINSPECT) finds no problem in the stream;
# its findings are shown only when it does.
pcl_check() {
    local report
    report=$("$PCLINSPECT" --check "$1" 2>&1) && return 0
    echo "$report" | head -n 20 >&2
    return 1
}
