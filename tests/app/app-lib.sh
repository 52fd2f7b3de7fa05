# Shell helpers for tests of corvane-printer-app; source this file.
#
#   app_start BUILD_DIR [-o name=value ...]   server on a free loopback port with
#                                             its own state, spool and log under
#                                             a temporary folder ($APP_DIR)
#   app_restart [-o name=value ...]           the server again, same port and state
#   app_stop                                  stops the server and the printer
#                                             stand-in, removes $APP_DIR; fails
#                                             when the server's output holds a
#                                             sanitizer report (sanitizer builds)
#   app_add_printer NAME DEVICE_URI           a "corvane" printer
#   app_submit NAME FILE [-o name=value ...]  prints the job id
#   app_print NAME FILE FORMAT [JOB_NAME [MEDIA]]
#                                             Print-Job through ipptool with that
#                                             document format, no job-name when
#                                             JOB_NAME is empty; retries on
#                                             server-error-busy; prints the job id
#   app_wait_job NAME JOB_ID [SECONDS]        waits for the job's end, prints its
#                                             state ("timeout" when it did not end)
#   app_expect_job NAME JOB_ID STATE [SECS]   the job ends in STATE, else says how
#   app_job_attr NAME JOB_ID ATTRIBUTE        one job attribute's value (ipptool)
#   app_jobs NAME WHICH                       "ID STATE NAME" lines of the jobs
#                                             (WHICH: completed, not-completed)
#   app_wait_idle NAME [SECONDS]              until no job is pending, held or
#                                             processing
#   app_wait_jobs NAME [SECONDS]              that, and every ended job completed
#   app_wait_up NAME                          until the printer has been up for 2 s
#                                             (printer-up-time is 0 in its first
#                                             second, and conformance tools fail)
#   app_make_documents SAMPLES_DIR            $APP_DIR/docs/: a6.pwg (two A6 pages,
#                                             sRGB 600 dpi), page.jpg, page.png
#                                             (one page each), sample.pdf (3 pages)
#   app_pages FILE                            the stream's pages, once it passes
#                                             pclinspect --check
#   pcl_check FILE                            pclinspect --check passes; its
#                                             findings are shown when it does not
#   sink_start FOLDER [PORT] [OPTIONS...]     a PJL network printer stand-in
#                                             (printersink) keeping each print
#                                             connection's bytes in FOLDER/N.pcl;
#                                             sets SINK_PORT and SINK_CONTROL
#   sink_say COMMAND                          a control command to it (jam-at 3,
#                                             door-open, ready, state, ...); prints
#                                             its answer
#   sink_stop                                 stops it
#   snmp_start                                Debian's snmpd on 127.0.0.1 at a free
#                                             port serving printer-mib.py's supply
#                                             table; sets SNMP_PORT; fails, saying
#                                             why, when snmpd is missing or cannot
#                                             bind (app_stop stops it)
#   ipp_request NAME OPERATION LINES          a small ipptool request file
#   app_check_private_files                   state, spool, log and output files
#                                             are the user's only; no document
#                                             is left in the spool
#   app_log_tail                              the end of the server's output and log
#
# It also brings the helpers of tests/cups/cupsd-lib.sh: wait_for, check and
# finish, the checks of a stream's summary, and a private CUPS daemon.
#
# app_start watches the log for the listening line: extra options may raise
# the log level (debug) but must not lower it below info or move the log.
# After app_start: APP (the program), APP_PORT, APP_PID, APP_DIR, APP_LOG,
# APP_URI (ipp://127.0.0.1:PORT), PCLINSPECT. Client commands always name the
# server by URI: the control socket of a root server is shared by every
# instance. APP_LISTEN, when set, replaces the loopback address 127.0.0.1 (an
# empty one: the program's default, loopback); APP_SERVER_OPTIONS, when not
# empty, is passed as -o server-options= (else the program's defaults, which
# offer no TLS on loopback).

# The checks, wait_for and the private CUPS daemon.
source "$(dirname "${BASH_SOURCE[0]}")/../cups/cupsd-lib.sh"

# A port nothing listens on now; app_start retries if another process takes
# it before the server does.
app_free_port() {
  local port
  while port=$((20000 + RANDOM % 40000)); (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do :; done
  echo "$port"
}

app_start() {
  local build attempt
  build=$(cd "$1" && pwd) && shift
  # In sanitizer builds, leaks of PAPPL's own are not ours; whole allocation
  # stacks let the suppressions find the PAPPL function in them.
  export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan-pappl.supp:print_suppressions=0:fast_unwind_on_malloc=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  APP=$build/corvane-printer-app PCLINSPECT=$build/pclinspect
  APP_DIR=$(mktemp -d "${TMPDIR:-/tmp}/corvane-app.XXXXXX") APP_LOG=$APP_DIR/server.log
  # The server makes its spool folder itself (with its own mode).
  mkdir -p "$APP_DIR/out"
  for attempt in 1 2 3; do
    APP_PORT=$(app_free_port) && APP_URI="ipp://127.0.0.1:$APP_PORT"
    app_launch "$@" && return 0
  done
  echo "app_start: the server did not start; see $APP_DIR" >&2
  return 1
}

app_restart() { app_launch "$@" || { echo "app_restart: the server did not start; see $APP_DIR" >&2; return 1; }; }

app_launch() {
  local listen=${APP_LISTEN-127.0.0.1} args=() skip tries log
  local host=${listen:-localhost}
  [ -z "$listen" ] || args=(-o listen-hostname="$listen")
  [ -z "${APP_SERVER_OPTIONS:-}" ] || args+=(-o server-options="$APP_SERVER_OPTIONS")
  skip=$(($(cat "$APP_LOG" 2>/dev/null | wc -l) + 1))
  # PAPPL keeps a root server's state file and control socket under
  # SNAP_COMMON when it is set: here, the test's own folder.
  SNAP_COMMON="$APP_DIR" "$APP" server -o server-port="$APP_PORT" "${args[@]}" \
    -o spool-directory="$APP_DIR/spool" -o log-file="$APP_LOG" -o log-level=info "$@" \
    >>"$APP_DIR/server.out" 2>&1 &
  APP_PID=$!
  # Ready when the server says it listens on the port (the port may have
  # been taken by someone else meanwhile: then it says it cannot).
  for tries in $(seq 100); do
    log=$(tail -n +"$skip" "$APP_LOG" 2>/dev/null)
    kill -0 "$APP_PID" 2>/dev/null && [[ $log != *"Unable to create listener socket for '$host:$APP_PORT'"* ]] || break
    [[ $log == *"Listening for connections on '$host:$APP_PORT'"* ]] &&
      (exec 3<>"/dev/tcp/${listen:-127.0.0.1}/$APP_PORT") 2>/dev/null && return 0
    sleep 0.1
  done
  kill "$APP_PID" 2>/dev/null; wait "$APP_PID" 2>/dev/null
  return 1
}

app_stop() {
  local status=0
  sink_stop
  [ -z "${SNMP_PID:-}" ] || { kill "$SNMP_PID"; wait "$SNMP_PID"; } 2>/dev/null
  SNMP_PID=
  if [ -n "${APP_PID:-}" ]; then kill "$APP_PID"; wait "$APP_PID"; fi 2>/dev/null
  APP_PID=
  [ -z "${APP_DIR:-}" ] || ! grep -q Sanitizer "$APP_DIR/server.out" 2>/dev/null || { cat "$APP_DIR/server.out" >&2; status=1; }
  [ -z "${APP_DIR:-}" ] || [ -n "${APP_KEEP:-}" ] || rm -rf "$APP_DIR"
  APP_DIR=
  return $status
}

app_log_tail() { tail -n 30 "$APP_DIR/server.out" "$APP_LOG" >&2 2>/dev/null || true; }

app_add_printer() { "$APP" add -u "$APP_URI/ipp/system" -d "$1" -m corvane -v "$2" >/dev/null; }

app_submit() { "$APP" submit -u "$APP_URI/ipp/print/$1" "${@:3}" "$2"; }

app_wait_job() {
  local deadline=$((SECONDS + ${3:-60})) state
  while state=$(app_jobs "$1" completed | awk -v id="$2" '$1 == id { print $2 }'); [ -z "$state" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.2
  done
  echo "${state:-timeout}"
}

app_expect_job() {
  local state
  state=$(app_wait_job "$1" "$2" "${4:-60}")
  [ "$state" = "$3" ] || { echo "job $2 on $1: $state, not $3 ($(app_job_attr "$1" "$2" job-state-message))" >&2; return 1; }
}

# ipp_request NAME OPERATION LINES: a request file of OPERATION on the
# printer, with LINES (printf %b escapes) after its operation attributes.
ipp_request() {
  local file=$APP_DIR/ipp/$1.test
  [ -f "$file" ] || { mkdir -p "$APP_DIR/ipp" && printf '{\n OPERATION %s\n GROUP operation-attributes-tag\n ATTR charset attributes-charset utf-8\n ATTR naturalLanguage attributes-natural-language en\n ATTR uri printer-uri $uri\n ATTR name requesting-user-name $user\n%b\n STATUS successful-ok\n}\n' "$2" "$3" >"$file.$BASHPID" && mv "$file.$BASHPID" "$file"; }
  echo "$file"
}

app_job_attr() {
  ipptool -c -d id="$2" "$APP_URI/ipp/print/$1" "$(ipp_request "attr-$3" Get-Job-Attributes \
    " ATTR integer job-id \$id\n ATTR keyword requested-attributes $3\n DISPLAY $3")" | tail -n +2
}

app_jobs() {
  ipptool -c -T 10 -d which="$2" "$APP_URI/ipp/print/$1" "$(ipp_request jobs Get-Jobs \
    ' ATTR keyword which-jobs $which\n ATTR keyword requested-attributes job-id,job-state,job-name\n DISPLAY job-id\n DISPLAY job-state\n DISPLAY job-name')" | tail -n +2 | tr ',' ' '
}

app_print() {
  local name=$1 file=$2 format=$3 jobname=${4:-} media=${5:-na_letter_8.5x11in} out tries=0 test
  test=$(ipp_request "print-job${jobname:+-named}" Print-Job " ATTR mimeMediaType document-format \$filetype\n${jobname:+ ATTR name job-name \$jobname\n} GROUP job-attributes-tag\n ATTR keyword media \$media\n FILE \$filename\n DISPLAY job-id")
  until out=$(ipptool -c -d filetype="$format" -d jobname="$jobname" -d media="$media" -f "$file" \
    "$APP_URI/ipp/print/$name" "$test" 2>&1); do
    # server-error-busy: another raster job is printing; try again (for up
    # to 30 s) as IPP clients do. Any other refusal ends here.
    [[ $out == *"Currently printing another job"* && $((tries++)) -lt 300 ]] || { echo "app_print: $out" >&2; return 1; }
    sleep 0.1
  done
  grep -E '^[0-9]+$' <<<"$out" | tail -1
}

app_no_active_job() { local active; active=$(app_jobs "$1" not-completed) && [ -z "$active" ]; }

app_wait_idle() {
  wait_for "${2:-120}" app_no_active_job "$1" && return 0
  { echo "jobs still active on $1: $(app_jobs "$1" not-completed)"; app_log_tail; } >&2
  return 1
}

app_wait_jobs() {
  app_wait_idle "$@" || return 1
  app_jobs "$1" completed | awk '$2 != "completed" { bad = 1 } END { exit bad }' && return 0
  { echo "a job did not complete:"; app_jobs "$1" completed; app_log_tail; } >&2
  return 1
}

app_wait_up() {
  local request
  request=$(ipp_request printer-up Get-Printer-Attributes \
    ' ATTR keyword requested-attributes printer-up-time\n EXPECT printer-up-time WITH-VALUE >1')
  wait_for 10 ipptool -q -T 5 "$APP_URI/ipp/print/$1" "$request" && return 0
  { echo "printer $1 does not answer"; app_log_tail; } >&2
  return 1
}

pcl_check() {
  local report
  report=$("$PCLINSPECT" --check "$1" 2>&1) || { echo "$1: $report" | head -n 20 >&2; return 1; }
}

app_pages() { pcl_check "$1" && "$PCLINSPECT" "$1" | awk '/^pages:/ { print $2 }'; }

sink_start() {
  mkdir -p "$1"
  # Emptied here, not only by the redirection below: that happens in the
  # new process, which may come after the check for the ports.
  : >"$APP_DIR/sink.port"
  "${PCLINSPECT%/*}/printersink" "$@" >"$APP_DIR/sink.port" &
  SINK_PID=$!
  wait_for 5 sink_listening || { echo "printersink did not start" >&2; return 1; }
  SINK_PORT=$(sed -n 1p "$APP_DIR/sink.port") SINK_CONTROL=$(sed -n 2p "$APP_DIR/sink.port")
}

sink_listening() { [ -n "$(sed -n 2p "$APP_DIR/sink.port" 2>/dev/null)" ]; }

sink_say() {
  local answer
  exec 7<>"/dev/tcp/127.0.0.1/$SINK_CONTROL" && echo "$*" >&7 && read -r -t 5 answer <&7
  exec 7<&-
  echo "$answer"
}

sink_stop() {
  [ -z "${SINK_PID:-}" ] || { kill "$SINK_PID"; wait "$SINK_PID" || true; } 2>/dev/null
  SINK_PID=
}

snmp_start() {
  local snmpd here tries
  snmpd=$(command -v snmpd || echo /usr/sbin/snmpd)
  [ -x "$snmpd" ] || { echo "snmpd is not installed (scripts/install-deps.sh)"; return 1; }
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  mkdir -p "$APP_DIR/snmp"
  for tries in 1 2 3; do
    SNMP_PORT=$((20000 + RANDOM % 40000))
    printf 'agentAddress udp:127.0.0.1:%s\nrocommunity public 127.0.0.1\npass .1.3.6.1.2.1.43 %s %s/printer-mib.py\n' \
      "$SNMP_PORT" "$(command -v python3)" "$here" >"$APP_DIR/snmp/snmpd.conf"
    : >"$APP_DIR/snmp/snmpd.log"
    "$snmpd" -f -C -c "$APP_DIR/snmp/snmpd.conf" -Lf "$APP_DIR/snmp/snmpd.log" -p "$APP_DIR/snmp/snmpd.pid" \
      -M /nonexistent -m '' >/dev/null 2>&1 &
    SNMP_PID=$!
    wait_for 5 grep -q 'NET-SNMP version' "$APP_DIR/snmp/snmpd.log"
    kill -0 "$SNMP_PID" 2>/dev/null && ! grep -qi 'error opening' "$APP_DIR/snmp/snmpd.log" && return 0
    kill "$SNMP_PID" 2>/dev/null; wait "$SNMP_PID" 2>/dev/null; SNMP_PID=
  done
  echo "snmpd cannot bind a port on 127.0.0.1: $(head -n 3 "$APP_DIR/snmp/snmpd.log")"
  return 1
}

app_make_documents() {
  local docs=$APP_DIR/docs sample=$1/sample.pdf
  mkdir -p "$docs" && cp "$sample" "$docs/sample.pdf"
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pwgraster -r600 -dcupsColorSpace=19 -dcupsBitsPerColor=8 \
    -dDEVICEWIDTHPOINTS=297.64 -dDEVICEHEIGHTPOINTS=419.53 -dFIXEDMEDIA -dPDFFitPage -dLastPage=2 \
    -sOutputFile="$docs/a6.pwg" "$sample" 2>/dev/null
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=jpeg -r40 -dLastPage=1 -sOutputFile="$docs/page.jpg" "$sample"
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r40 -dLastPage=1 -sOutputFile="$docs/page.png" "$sample"
}

app_check_private_files() {
  local bad
  bad=$(find "$APP_DIR/spool" "$APP_DIR"/*.state "$APP_LOG" "$APP_DIR/out" -mindepth 0 \
    \( -type d ! -perm 700 ! -path "$APP_DIR/out" -o -type f ! -perm 600 \) -printf 'readable by others: %m %p\n'
    find "$APP_DIR/spool" -type f -printf 'document left in the spool: %p\n')
  [ -z "$bad" ] || { echo "$bad"; return 1; }
}
