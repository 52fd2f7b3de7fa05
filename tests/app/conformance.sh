#!/usr/bin/env bash
# CUPS's own IPP Everywhere suite (ipptool with ipp-everywhere.test, which
# includes the IPP/1.1 and IPP/2.0 suites) against the app, the suite's
# documents made with Ghostscript at 600 dpi. ipptool's exit status stays 0
# when an included test fails, so the [PASS] and [FAIL] lines are counted:
# at least 71 pass, and the only failures allowed are the two PAPPL 1.3.1
# itself causes, for the reasons listed below and no other. The suite's
# printer is a socket:// one, as a network printer is, with a stand-in
# (printersink) that keeps each connection's bytes; every connection's stream
# must decode, with a job stream for every completed job (the suite cancels
# jobs and sends new ones while others print, and no job's bytes may land
# inside another's). get-printer-attributes.test and print-job-and-wait.test
# pass too, the latter on a file:// printer whose job file must hold the
# document's pages. The server runs as a user starts it: its default options,
# listening on loopback.
# Usage: conformance.sh BUILD_DIR SAMPLES_DIR
# Exits 77 (skipped) when ipptool, its suites or Ghostscript are missing.
set -uo pipefail
build=$1 sample=$(realpath "$2/sample.pdf")
here=$(cd "$(dirname "$0")" && pwd)
suites=/usr/share/cups/ipptool
for tool in ipptool gs; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
[ -f "$suites/ipp-everywhere.test" ] || { echo "SKIP: no $suites/ipp-everywhere.test"; exit 77; }
source "$here/app-lib.sh"

# The failures PAPPL 1.3.1 causes, as "test name|what the test expected":
# it does not implement overrides-supported, and a job held with
# job-hold-until comes back without job-state-reasons.
allowed="PWG 5100.14 section 5.1/5.2 - Required Operations and Attributes|EXPECTED: overrides-supported
Print-Job with job-hold-until|EXPECTED: job-state-reasons"

trap app_stop EXIT
trap 'exit 130' INT TERM
APP_LISTEN= app_start "$build" || exit 1
docs=$APP_DIR/docs out=$APP_DIR/out uri=$APP_URI/ipp/print/corvane
mkdir -p "$docs"
(cd "$docs" && bash "$here/make-ipp-samples.sh" "$sample" "$suites/ipp-everywhere.test") &
samples_pid=$!
sink_start "$APP_DIR/net" || exit 1
# The printer's supplies come from its Printer MIB (snmpd with the tests'
# table); without an agent it reports none, and the suite misses them.
if snmp_start >"$APP_DIR/snmp-start.txt"; then
    snmp="/?snmp-port=$SNMP_PORT"
else
    echo "NOTE: $(cat "$APP_DIR/snmp-start.txt"); the printer reports no supplies"
    snmp="/?snmp-port=$(app_free_port)"
    allowed+=$'\nPWG 5100.14 section 5.1/5.2 - Required Operations and Attributes|EXPECTED: printer-supply'
    allowed+=$'\nPWG 5100.14 section 5.1/5.2 - Required Operations and Attributes|EXPECTED: printer-supply-description'
fi
app_add_printer corvane "socket://127.0.0.1:$SINK_PORT$snmp" && app_add_printer files "file://$out?ext=pcl" || exit 1
wait "$samples_pid" || { echo "making the suite's documents failed" >&2; exit 1; }
app_wait_up corvane || exit 1
# The supplies are read with the printer's first status question.
supplied() { ipptool -tv "$uri" get-printer-attributes.test | matches 'printer-supply '; }
[ -n "${SNMP_PID:-}" ] && { wait_for 20 supplied || echo "NOTE: no supplies yet"; }
cd "$docs" || exit 1

# suite NAME IPPTOOL-ARGS...: runs a suite into NAME.log; the counts of its
# [PASS], [FAIL] and [SKIP] lines go to npass, nfail and nskip.
suite() {
    local log=$APP_DIR/$1.log
    shift
    ipptool "$@" >"$log" 2>&1
    status=$?
    read -r npass nfail nskip < <(for r in PASS FAIL SKIP; do grep -c "\[$r\]\$" "$log"; done | paste -sd ' ')
}
suite everywhere -V 2.0 -I -t -f color.jpg "$uri" "$suites/ipp-everywhere.test"
echo "ipp-everywhere.test: $npass passed, $nfail failed, $nskip skipped"
grep '\[FAIL\]$' "$APP_DIR/everywhere.log"
check "at least 71 tests pass" test "$npass" -ge 71
check "at most 2 tests fail" test "$nfail" -le 2
# "name|" for each failed test, then "name|expected" for each of its EXPECTED lines.
failures=$(awk '/\[(PASS|FAIL|SKIP)\]$/ { failed = /\[FAIL\]$/; name = $0
                                   sub(/^ +/, "", name); sub(/ +\[FAIL\]$/, "", name)
                                   if (failed) print name "|"; next }
         /^"/ { failed = 0 }
         failed && /^ +EXPECTED: / { line = $0; sub(/^ +/, "", line); print name "|" line }' "$APP_DIR/everywhere.log")
unexpected=$(grep -v '|$' <<<"$failures" | grep -vxF -- "$allowed"
             grep '|$' <<<"$failures" | grep -vxF -- "$(sed 's/|.*/|/' <<<"$allowed")")
check "only PAPPL's own failures, for their own reasons" test -z "$unexpected" || sed 's/^/  unexpected: /' <<<"$unexpected"

passes() {  # passes NAME IPPTOOL-ARGS...: the suite passes with no [FAIL] line
    suite "$@"
    check "$1.test: exit $status, $npass passed, $nfail failed" test "$status" -eq 0 -a "$nfail" -eq 0 -a "$npass" -gt 0 ||
        cat "$APP_DIR/$1.log"
}
passes get-printer-attributes -t "$uri" "$suites/get-printer-attributes.test"
passes print-job-and-wait -t -f document-letter.pdf "$APP_URI/ipp/print/files" "$suites/print-job-and-wait.test"
check "every job ended" app_wait_idle corvane 60
sink_stop

# Every connection to the printer stand-in holds whole jobs, one after the
# other: each decodes.
streams_decode() {
    local stream count=0 completed
    for stream in "$APP_DIR"/net/*.pcl; do
        [ -s "$stream" ] || continue
        pcl_check "$stream" || return 1
        count=$((count + $(grep -ac '@PJL JOB NAME' "$stream")))
    done
    completed=$(app_jobs corvane completed | awk '$2 == "completed"' | wc -l)
    echo "  $count job streams decoded, $completed jobs completed"
    [ "$count" -gt 0 ] && [ "$count" -ge "$completed" ]
}
check "the suite's jobs reached the printer, each stream decodes" streams_decode
check "print-job-and-wait.test's job decodes, with its 3 pages" test "$(app_pages "$out/Untitled.pcl")" = 3

# On a failure: the failed tests of ipp-everywhere.test in full, and the server's log.
[ "$failed" -eq 0 ] || { awk '/\[FAIL\]$/ { show = 1; print; next } /\[(PASS|SKIP)\]$/ || /^"/ { show = 0 } show' \
    "$APP_DIR/everywhere.log"; app_log_tail; }
check "the server stops with no sanitizer report" app_stop
finish
