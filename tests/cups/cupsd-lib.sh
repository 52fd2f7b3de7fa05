# Shell helpers for the CUPS tests. Source this file, then:
#
# A private CUPS daemon: its own configuration, spool, cache and log folders
# under one temporary folder, listening only on 127.0.0.1 on a free port, so
# the machine's own CUPS (if any) is neither used nor disturbed.
#   cupsd_start [FILTER...]   start the daemon; with FILTERs, they are added to
#                             a private copy of CUPS's program folder
#   cupsd_stop                stop it (safe to call twice; use in an EXIT trap)
#   cupsd_wait_job ID [SECS]  wait until job ID has ended; fails unless completed
#   cupsd_make_serverbin FOLDER FILTER...
#                             CUPS's program folder with extra filters (for
#                             cupsfilter too)
# After cupsd_start, CUPS_SERVER points the client commands (lp, lpadmin,
# lpstat, lpinfo) at the private daemon, and CUPSD_DIR is its folder.
#
# Checks (check, finish) and checks of a printer stream STEM.pcl through
# pclinspect (set PCLINSPECT), whose summary goes to STEM.txt; see the
# functions after the daemon's. wait_for SECONDS COMMAND... runs COMMAND
# until it succeeds.

cupsd_log() { echo "cupsd: $*" >&2; }

# grep -q for the end of a pipeline: it reads all of its input, so that the
# command before it never dies of a closed pipe (which pipefail would count
# as a failure).
matches() { grep "$@" >/dev/null; }

wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# cupsd_make_serverbin FOLDER FILTER...: a ServerBin folder with CUPS's own
# programs as links and the FILTERs as copies: as root the daemon only runs
# filters owned by root that nobody else may write, wherever the build
# folder is.
cupsd_make_serverbin() {
    cp -rs "$(cups-config --serverbin)/." "$1/" && install -m 0755 "${@:2}" "$1/filter/"
}

cupsd_start() {
    local serverbin port attempt user_lines=""
    CUPSD_DIR=$(mktemp -d "${TMPDIR:-/tmp}/corvane-cupsd.XXXXXX")
    # Filters run as the daemon's non-root user, who must reach the files here.
    chmod 0755 "$CUPSD_DIR"
    serverbin=$(cups-config --serverbin)
    if [ $# -gt 0 ]; then
        serverbin=$CUPSD_DIR/serverbin
        cupsd_make_serverbin "$serverbin" "$@"
    fi
    mkdir -p "$CUPSD_DIR"/{conf/ppd,spool/tmp,cache,state,log}
    if [ "$(id -u)" -eq 0 ]; then
        user_lines=$'User lp\nGroup lp'
        chown lp:lp "$CUPSD_DIR/spool/tmp" "$CUPSD_DIR/cache"
    fi
    cat >"$CUPSD_DIR/conf/cups-files.conf" <<CONF
ServerRoot $CUPSD_DIR/conf
ServerBin $serverbin
RequestRoot $CUPSD_DIR/spool
TempDir $CUPSD_DIR/spool/tmp
CacheDir $CUPSD_DIR/cache
StateDir $CUPSD_DIR/state
ErrorLog $CUPSD_DIR/log/error_log
AccessLog $CUPSD_DIR/log/access_log
PageLog $CUPSD_DIR/log/page_log
FileDevice Yes
$user_lines
CONF
    # A random port that nothing answers on; another process may still take
    # it first, hence the attempts.
    for attempt in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue
        cat >"$CUPSD_DIR/conf/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel debug
WebInterface No
Browsing No
DefaultAuthType None
ErrorPolicy abort-job
JobRetryLimit 0
PreserveJobHistory Yes
PreserveJobFiles No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
        cupsd -f -c "$CUPSD_DIR/conf/cupsd.conf" -s "$CUPSD_DIR/conf/cups-files.conf" >"$CUPSD_DIR/log/cupsd.out" 2>&1 &
        CUPSD_PID=$!
        export CUPS_SERVER="127.0.0.1:$port"
        wait_for 10 cupsd_answers && kill -0 "$CUPSD_PID" 2>/dev/null &&
            { cupsd_log "running on $CUPS_SERVER in $CUPSD_DIR"; return 0; }
        cupsd_stop_daemon
        cupsd_log "start on port $port failed (attempt $attempt):"
        tail -n 20 "$CUPSD_DIR/log/cupsd.out" "$CUPSD_DIR/log/error_log" >&2 2>/dev/null
    done
    return 1
}

# The daemon says it runs, or it is gone.
cupsd_answers() { ! kill -0 "$CUPSD_PID" 2>/dev/null || lpstat -r 2>/dev/null | matches "is running"; }

cupsd_stop_daemon() {
    [ -n "${CUPSD_PID:-}" ] || return 0
    kill -TERM "$CUPSD_PID"
    timeout 5 tail --pid="$CUPSD_PID" -f /dev/null || kill -KILL "$CUPSD_PID"
    wait "$CUPSD_PID"
    CUPSD_PID=""
} 2>/dev/null

cupsd_stop() {
    cupsd_stop_daemon
    if [ -n "${CUPSD_KEEP:-}" ]; then cupsd_log "kept ${CUPSD_DIR:-}"; else rm -rf "${CUPSD_DIR:-/nonexistent}"; fi
    CUPSD_DIR=""
}

# The job's end is read from the daemon's log, which also says why it failed.
cupsd_job_ended() { grep -Eq "\[Job $1\] Job (completed|aborted|stopped|canceled)" "$CUPSD_DIR/log/error_log" 2>/dev/null; }
cupsd_wait_job() {
    local log=$CUPSD_DIR/log/error_log
    [ -n "$1" ] && wait_for "${2:-120}" cupsd_job_ended "$1" && grep -q "\[Job $1\] Job completed\." "$log" && return 0
    cupsd_log "job $1 did not complete; its log lines:"
    grep "\[Job $1\]" "$log" | grep -Ev '\[Job [0-9]+\] (argv|envp)\[' | tail -n 40 >&2
    return 1
}

# ---- Checks ----
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then passed=$((passed + 1)); echo "ok - $what"; else failed=$((failed + 1)); echo "FAIL - $what"; return 1; fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# inspect STEM: summarises STEM.pcl into STEM.txt.
inspect() { "$PCLINSPECT" "$1.pcl" >"$1.txt" 2>&1; }
# expect STEM LINE: the summary holds LINE exactly.
expect() { check "${1##*/}: $2" grep -qxF -- "$2" "$1.txt"; }
# expect_count STEM REGEX N: N summary lines match the extended regex.
expect_count() {
    local n
    n=$(grep -cE -- "$2" "$1.txt")
    check "${1##*/}: $3 x '$2' (found $n)" test "$n" -eq "$3"
}
# expect_job STEM PJL PREAMBLE: the PJL settings between the fixed first and
# last ones, and the job preamble between the fixed resolution and top margin.
expect_job() {
    expect "$1" "PJL settings: PAGEPROTECT=AUTO, RESOLUTION=600${2:+, $2}, TIMEOUT=0"
    expect "$1" "job preamble: raster resolution 600 dpi; unit of measure 600 units per inch; $3; top margin 0 lines"
}
# expect_pages STEM N WxH: what every job shares (escape run, UELs, PJL
# header, no copy count, reset at the end) and N pages of raster WxH, each
# closed by a form feed, with nothing pclinspect finds wrong.
expect_pages() {
    expect_count "$1" '^stream: [0-9]+ bytes, escape run 5000 bytes, UEL at start yes, reset at end yes, UEL at end yes$' 1
    expect "$1" 'job name: ""'
    expect "$1" "PJL enters PCL: yes"
    expect "$1" "copies: none in the job preamble, none on the pages -> printer default"
    expect "$1" "pages: $2"
    expect_count "$1" "^  raster ${3/x/ x } pixels, " "$2"
    expect "$1" "problems: none"
}
