# Shell helpers for tests of corvane-printer-app; source this file.
#
#   app_start BUILD_DIR [-o name=value ...]   server on a free loopback port with
#                                             its own state, spool and log under
#                                             a temporary folder ($APP_DIR)
#   app_add_printer NAME DEVICE_URI           a "corvane" printer
#   app_submit NAME FILE [-o name=value ...]  prints the job id
#   app_wait_job NAME JOB_ID [SECONDS]        waits for the job's end, prints its state
#   app_job_attr NAME JOB_ID ATTRIBUTE        one job attribute's value (ipptool)
#   app_restart [-o name=value ...]           the server again, same port and state
#   app_print NAME FILE FORMAT [JOB_NAME [MEDIA]]
#                                             Print-Job through ipptool with that
#                                             document format, no job-name when
#                                             JOB_NAME is empty; retries on
#                                             server-error-busy; prints the job id
#   app_make_documents SAMPLES_DIR            $APP_DIR/docs/: a6.pwg (two A6 pages,
#                                             sRGB 600 dpi), page.jpg, page.png
#                                             (one page each), sample.pdf (3 pages)
#   app_pages FILE                            the stream's pages, once it passes
#                                             pclinspect --check
#   ipp_request NAME OPERATION LINES          a small ipptool request file
#   app_check_private_files                   state, spool, log and output files
#                                             are the user's only; no document
#                                             is left in the spool
#   app_stop                                  stops the server, removes $APP_DIR;
#                                             fails when the server's output holds
#                                             a sanitizer report (sanitizer builds)
#
# app_start watches the log for the listening line: extra options may raise
# the log level (debug) but must not lower it below info or move the log.
# After app_start: APP (the program), APP_PORT, APP_PID, APP_DIR, APP_LOG,
# APP_URI (ipp://127.0.0.1:PORT). Client commands always name the server by
# URI: the control socket of a root server is shared by every instance.
# APP_LISTEN and APP_SERVER_OPTIONS, when set, replace the loopback address
# and "no-tls" (an empty APP_LISTEN: the program's default, loopback).

# A port nothing listens on now; app_start retries if another process takes
# it before the server does.
app_free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

app_start() {
  local build=$1; shift
  # In sanitizer builds, leaks of PAPPL's own are not ours; whole allocation
  # stacks let the suppressions find the PAPPL function in them.
  LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan-pappl.supp:print_suppressions=0:fast_unwind_on_malloc=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  export LSAN_OPTIONS
  APP="$(cd "$build" && pwd)/corvane-printer-app"
  APP_DIR=$(mktemp -d "${TMPDIR:-/tmp}/corvane-app.XXXXXX")
  # The server makes its spool folder itself (with its own mode).
  mkdir -p "$APP_DIR/out"
  APP_LOG="$APP_DIR/server.log"
  local attempt
  for attempt in 1 2 3; do
    APP_PORT=$(app_free_port)
    APP_URI="ipp://127.0.0.1:$APP_PORT"
    app_launch "$@" && return 0
  done
  echo "app_start: the server did not start; see $APP_DIR" >&2
  return 1
}

# Starts the server again on the same port, state and spool (after a crash
# or a stop), with the options given to app_start.
app_restart() {
  app_launch "$@" || { echo "app_restart: the server did not start; see $APP_DIR" >&2; return 1; }
}

app_launch() {
  local host=${APP_LISTEN:-127.0.0.1} listen=(-o listen-hostname="${APP_LISTEN-127.0.0.1}")
  [ -n "${APP_LISTEN-127.0.0.1}" ] || listen=()
  [ -n "${APP_LISTEN-127.0.0.1}" ] || host=localhost
  local skip=$(($(cat "$APP_LOG" 2>/dev/null | wc -l) + 1))
  # PAPPL keeps a root server's state file and control socket under
  # SNAP_COMMON when it is set: here, the test's own folder.
  SNAP_COMMON="$APP_DIR" "$APP" server -o server-port="$APP_PORT" \
    "${listen[@]}" -o server-options="${APP_SERVER_OPTIONS-no-tls}" \
    -o spool-directory="$APP_DIR/spool" -o log-file="$APP_LOG" -o log-level=info \
    "$@" >>"$APP_DIR/server.out" 2>&1 &
  APP_PID=$!
  # Ready when the server says it listens on the port (the port may have
  # been taken by someone else meanwhile: then it says it cannot).
  local tries log
  for tries in $(seq 100); do
    if ! kill -0 "$APP_PID" 2>/dev/null; then break; fi
    log=$(tail -n +"$skip" "$APP_LOG" 2>/dev/null || true)
    if grep -q "Unable to create listener socket for '$host:$APP_PORT'" <<<"$log"; then break; fi
    if grep -q "Listening for connections on '$host:$APP_PORT'" <<<"$log" &&
       (exec 3<>"/dev/tcp/${APP_LISTEN:-127.0.0.1}/$APP_PORT") 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  kill "$APP_PID" 2>/dev/null; wait "$APP_PID" 2>/dev/null
  return 1
}

app_add_printer() {
  "$APP" add -u "$APP_URI/ipp/system" -d "$1" -m corvane -v "$2" >/dev/null
}

app_submit() {
  local name=$1 file=$2; shift 2
  "$APP" submit -u "$APP_URI/ipp/print/$name" "$@" "$file"
}

app_wait_job() {
  local name=$1 id=$2 seconds=${3:-60} state
  local deadline=$((SECONDS + seconds))
  while [ $SECONDS -lt $deadline ]; do
    state=$("$APP" jobs -u "$APP_URI/ipp/print/$name" | awk -v id="$id" '$1 == id { print $2 }')
    case $state in
      completed|aborted|canceled) echo "$state"; return 0 ;;
    esac
    sleep 0.2
  done
  echo "timeout"
  return 1
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

app_print() {
  local name=$1 file=$2 format=$3 jobname=${4:-} media=${5:-na_letter_8.5x11in}
  local out tries test
  test=$(ipp_request "print-job${jobname:+-named}" Print-Job " ATTR mimeMediaType document-format \$filetype\n${jobname:+ ATTR name job-name \$jobname\n} GROUP job-attributes-tag\n ATTR keyword media \$media\n FILE \$filename\n DISPLAY job-id")
  for tries in $(seq 300); do
    if out=$(ipptool -c -d filetype="$format" -d jobname="$jobname" -d media="$media" -f "$file" \
      "$APP_URI/ipp/print/$name" "$test" 2>&1); then
      printf '%s\n' "$out" | grep -E '^[0-9]+$' | tail -1
      return 0
    fi
    # server-error-busy: another raster job is printing; try again as IPP
    # clients do. Any other refusal ends here.
    case $out in *"Currently printing another job"*) sleep 0.1 ;; *) echo "app_print: $out" >&2; return 1 ;; esac
  done
  echo "app_print: the printer stayed busy" >&2
  return 1
}

# app_pages FILE: the stream's page count, once pclinspect --check passes.
app_pages() {
  "${APP%/*}/pclinspect" --check "$1" >/dev/null || { echo "$1: not a well-formed stream" >&2; return 1; }
  "${APP%/*}/pclinspect" "$1" | awk '/^pages:/ { print $2 }'
}

app_make_documents() {
  local samples=$1 docs="$APP_DIR/docs"
  mkdir -p "$docs"
  local gs_run=(gs -q -dSAFER -dBATCH -dNOPAUSE)
  "${gs_run[@]}" -sDEVICE=pwgraster -r600 -dcupsColorSpace=19 -dcupsBitsPerColor=8 \
    -dDEVICEWIDTHPOINTS=297.64 -dDEVICEHEIGHTPOINTS=419.53 -dFIXEDMEDIA -dPDFFitPage -dLastPage=2 \
    -sOutputFile="$docs/a6.pwg" "$samples/sample.pdf" 2>/dev/null
  "${gs_run[@]}" -sDEVICE=jpeg -r40 -dLastPage=1 -sOutputFile="$docs/page.jpg" "$samples/sample.pdf" 2>/dev/null
  "${gs_run[@]}" -sDEVICE=png16m -r40 -dLastPage=1 -sOutputFile="$docs/page.png" "$samples/sample.pdf" 2>/dev/null
  cp "$samples/sample.pdf" "$docs/sample.pdf"
}

app_check_private_files() {
  local bad
  bad=$(find "$APP_DIR/spool" "$APP_DIR"/*.state "$APP_LOG" "$APP_DIR/out" -mindepth 0 \
    \( -type d ! -perm 700 ! -path "$APP_DIR/out" -o -type f ! -perm 600 \) -printf '%m %p\n')
  if [ -n "$bad" ]; then echo "readable by others:"; echo "$bad"; return 1; fi
  bad=$(find "$APP_DIR/spool" -type f)
  if [ -n "$bad" ]; then echo "documents left in the spool:"; echo "$bad"; return 1; fi
}

app_stop() {
  local status=0
  if [ -n "${APP_PID:-}" ]; then
    kill "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
  fi
  APP_PID=
  if [ -n "${APP_DIR:-}" ] && grep -q "Sanitizer" "$APP_DIR/server.out" 2>/dev/null; then
    cat "$APP_DIR/server.out" >&2
    status=1
  fi
  if [ -n "${APP_DIR:-}" ] && [ -z "${APP_KEEP:-}" ]; then rm -rf "$APP_DIR"; fi
  APP_DIR=
  return $status
}
