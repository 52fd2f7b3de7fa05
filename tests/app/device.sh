#!/usr/bin/env bash
# An unreachable printer: a socket:// device on a loopback port where nothing
# listens. The printer's state reasons and the job's message say why; once a
# listener starts, it receives the job exactly once and complete. A job
# cancelled while waiting ends at once (not at PAPPL's next try, 5 s later)
# and sends nothing. The same for a file:// printer whose folder went away.
# Usage: device.sh BUILD_DIR SAMPLES_DIR
set -euo pipefail
build=$1 samples=$2
source "$(dirname "$0")/app-lib.sh"
app_start "$build"
trap 'app_stop || exit 1' EXIT
printer=corvane port=$(app_free_port) received=$APP_DIR/received
app_add_printer "$printer" "socket://127.0.0.1:$port"

printer_reasons() {
  ipptool -tv "$APP_URI/ipp/print/${1:-$printer}" get-printer-attributes.test | awk -F' = ' '/printer-state-reasons/ { print $2 }'
}
job_says() { app_job_attr "${3:-$printer}" "$1" job-state-message | matches "$2"; }
reasons_say() { printer_reasons "${2:-}" | matches "$1"; }
back_online() { ! reasons_say offline "${1:-}"; }
# received_once FOLDER JOB: the printer got one connection, a whole stream of JOB's 3 pages.
received_once() {
  [ "$(ls "$1")" = 1.pcl ] || { echo "connections: $(ls "$1")"; return 1; }
  grep -aq "JOB NAME = \"$2\"" "$1/1.pcl" || { echo "the stream is not job $2's"; return 1; }
  [ "$(app_pages "$1/1.pcl")" = 3 ] || { echo "pages missing"; return 1; }
}

first=$(app_submit "$printer" "$samples/sample.pdf" -t first)
wait_for 10 reasons_say offline || { echo "state reasons: $(printer_reasons)"; exit 1; }
wait_for 5 job_says "$first" "Cannot connect to 127.0.0.1:$port" ||
  { echo "job message: $(app_job_attr "$printer" "$first" job-state-message)"; exit 1; }
code=$(curl -s -o "$APP_DIR/page.html" -w '%{http_code}' "http://127.0.0.1:$APP_PORT/$printer/" || echo "curl $?")
grep -q "Cannot connect to 127.0.0.1:$port" "$APP_DIR/page.html" ||
  { echo "the printer's web page does not say why (HTTP $code)"; app_log_tail; exit 1; }

sink_start "$received" "$port"
app_expect_job "$printer" "$first" completed 30
received_once "$received" first
wait_for 5 back_online || { echo "still offline: $(printer_reasons)"; exit 1; }

# Cancelled while waiting: nothing reaches the printer.
sink_stop
waiting=$(app_submit "$printer" "$samples/sample.pdf" -t waiting)
wait_for 10 job_says "$waiting" "Cannot connect" || { echo "job $waiting is not waiting"; exit 1; }
start=$SECONDS
"$APP" cancel -u "$APP_URI/ipp/print/$printer" -j "$waiting"
app_expect_job "$printer" "$waiting" canceled 10
cancelled=$((SECONDS - start))
[ "$cancelled" -le 2 ] || { echo "the cancel took $cancelled s"; exit 1; }
sink_start "$received-later" "$port"
last=$(app_submit "$printer" "$samples/sample.pdf" -t last)
app_expect_job "$printer" "$last" completed 30
received_once "$received-later" last

# file://: the folder is removed after the printer was added. The job waits
# saying so, and is written to its own file once the folder is back; a job
# cancelled while waiting ends at once and writes nothing when the folder
# comes back.
folder=$APP_DIR/folder
mkdir "$folder"
app_add_printer files "file://$folder?ext=pcl"
rmdir "$folder"
first=$(app_submit files "$samples/sample.pdf" -t first)
wait_for 10 job_says "$first" "The folder $folder does not exist" files ||
  { echo "job message: $(app_job_attr files "$first" job-state-message)"; exit 1; }
reasons_say offline files || { echo "file printer state reasons: $(printer_reasons files)"; exit 1; }
curl -s -o "$APP_DIR/files.html" "http://127.0.0.1:$APP_PORT/files/" || true
grep -q "The folder $folder does not exist" "$APP_DIR/files.html" ||
  { echo "the file printer's web page does not say why"; exit 1; }
mkdir "$folder"
app_expect_job files "$first" completed 30
[ "$(ls "$folder")" = first.pcl ] && [ "$(app_pages "$folder/first.pcl")" = 3 ] ||
  { echo "folder after the wait: $(ls "$folder")"; exit 1; }
wait_for 5 back_online files || { echo "file printer still offline: $(printer_reasons files)"; exit 1; }
rm -r "$folder"
waiting=$(app_submit files "$samples/sample.pdf" -t waiting)
wait_for 10 job_says "$waiting" "does not exist" files || { echo "job $waiting is not waiting"; exit 1; }
start=$SECONDS
"$APP" cancel -u "$APP_URI/ipp/print/files" -j "$waiting"
app_expect_job files "$waiting" canceled 10
[ $((SECONDS - start)) -le 2 ] || { echo "the cancel on file:// took $((SECONDS - start)) s"; exit 1; }
mkdir "$folder"
last=$(app_submit files "$samples/sample.pdf" -t last)
app_expect_job files "$last" completed 30
[ "$(ls "$folder")" = last.pcl ] || { echo "after a cancelled job: $(ls "$folder")"; exit 1; }

# usb:// with no USB printer there: the app's USB device waits the same way
# (PAPPL's would stop the printer and see a cancel only at its next try).
app_add_printer usb "usb://HP/LaserJet%20M404?serial=PHB1"
waiting=$(app_submit usb "$samples/sample.pdf" -t waiting)
wait_for 10 job_says "$waiting" "The USB printer is not connected" usb ||
  { echo "usb job message: $(app_job_attr usb "$waiting" job-state-message)"; exit 1; }
reasons_say offline usb || { echo "usb printer state reasons: $(printer_reasons usb)"; exit 1; }
start=$SECONDS
"$APP" cancel -u "$APP_URI/ipp/print/usb" -j "$waiting"
app_expect_job usb "$waiting" canceled 10
[ $((SECONDS - start)) -le 2 ] || { echo "the cancel on usb:// took $((SECONDS - start)) s"; exit 1; }
