#!/usr/bin/env bash
# An unreachable printer: a socket:// device on a loopback port where nothing
# listens. The printer's state reasons and the job's message say why; once a
# listener starts, it receives the job exactly once and complete. A job
# cancelled while waiting ends at once (not at PAPPL's next try, 5 s later)
# and sends nothing.
# Usage: device.sh BUILD_DIR SAMPLES_DIR
set -euo pipefail
build=$1 samples=$2
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
listener=
cleanup() { [ -n "$listener" ] && kill "$listener" 2>/dev/null; app_stop; }
trap cleanup EXIT
printer=corvane
port=$(app_free_port)
received="$APP_DIR/received"
app_add_printer "$printer" "socket://127.0.0.1:$port"

# Keeps every connection's bytes in FOLDER/N.pcl.
start_listener() {  # FOLDER
  mkdir -p "$1"
  python3 - "$port" "$1" <<'PY' &
import socket, sys
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen()
count = 0
while True:
    connection, _ = server.accept()
    count += 1
    with open(f"{sys.argv[2]}/{count}.pcl", "wb") as out:
        while data := connection.recv(65536):
            out.write(data)
    connection.close()
PY
  listener=$!
}
stop_listener() { kill "$listener"; wait "$listener" 2>/dev/null || true; listener=; }

printer_reasons() {
  ipptool -tv "$APP_URI/ipp/print/$printer" get-printer-attributes.test |
    awk -F' = ' '/printer-state-reasons/ { print $2 }'
}

wait_for() {  # SECONDS COMMAND...: until the command succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}
job_says() { app_job_attr "$printer" "$1" job-state-message | grep -q "$2"; }
reasons_say() { printer_reasons | grep -q "$1"; }
back_online() { ! reasons_say offline; }

first=$(app_submit "$printer" "$samples/sample.pdf" -t first)
wait_for 10 reasons_say offline || { echo "state reasons: $(printer_reasons)"; exit 1; }
wait_for 5 job_says "$first" "Cannot connect to 127.0.0.1:$port" ||
  { echo "job message: $(app_job_attr "$printer" "$first" job-state-message)"; exit 1; }
curl -sf "http://127.0.0.1:$APP_PORT/$printer/" | grep -q "Cannot connect to 127.0.0.1:$port" ||
  { echo "the printer's web page does not say why"; exit 1; }

start_listener "$received"
[ "$(app_wait_job "$printer" "$first" 30)" = completed ] || { echo "job $first did not print"; exit 1; }
[ "$(ls "$received")" = 1.pcl ] || { echo "connections: $(ls "$received")"; exit 1; }
[ "$(app_pages "$received/1.pcl")" = 3 ] || { echo "pages missing"; exit 1; }
wait_for 5 back_online ||
  { echo "still offline: $(printer_reasons)"; exit 1; }

# Cancelled while waiting: nothing reaches the printer.
stop_listener
waiting=$(app_submit "$printer" "$samples/sample.pdf" -t waiting)
wait_for 10 job_says "$waiting" "Cannot connect" || { echo "job $waiting is not waiting"; exit 1; }
start=$SECONDS
"$APP" cancel -u "$APP_URI/ipp/print/$printer" -j "$waiting"
[ "$(app_wait_job "$printer" "$waiting" 10)" = canceled ] || { echo "job $waiting not cancelled"; exit 1; }
cancelled=$((SECONDS - start))
[ "$cancelled" -le 2 ] || { echo "the cancel took $cancelled s"; exit 1; }
start_listener "$received-later"
last=$(app_submit "$printer" "$samples/sample.pdf" -t last)
[ "$(app_wait_job "$printer" "$last" 30)" = completed ] || { echo "job $last did not print"; exit 1; }
[ "$(ls "$received-later")" = 1.pcl ] || { echo "connections: $(ls "$received-later")"; exit 1; }
grep -aq "last" "$received-later/1.pcl" || { echo "the stream is not the last job's"; exit 1; }
"$build/pclinspect" --check "$received-later/1.pcl" >/dev/null
echo "device: reasons and message shown, one complete stream after the listener came, cancel took ${cancelled} s"
