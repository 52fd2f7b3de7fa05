#!/usr/bin/env bash
# The printer talks back, through the PJL printer stand-in (printersink):
# 1. door open, paper out, jam, toner low and offline each show in
#    printer-state-reasons within a few seconds, with the printer's panel
#    text on the printer's web page, and clear when it is ready again;
# 2. a job jammed after page 2 of 5 stays processing while jammed, with the
#    panel text as its message and 2 impressions, and completes only once
#    the printer printed page 5, with 5 impressions;
# 3. a cancel during a jam ends the job at once;
# 4. replies sent one byte at a time in the other printers' format, and a
#    flood of unsolicited reports, cost no job and no memory;
# 5. a one-way printer (it never answers) prints, and its job completes in
#    a few seconds;
# 6. Identify-Printer puts its message on the panel, and takes it off again.
# Usage: printer-status.sh BUILD_DIR SAMPLES_DIR
set -uo pipefail
build=$1 samples=$2
source "$(dirname "$0")/app-lib.sh"
trap app_stop EXIT
app_start "$build" || exit 1
app_make_documents "$samples"
# Five pages: a JPEG, five copies (spooled, so the client does not wait for
# the printer as it does for a streamed raster).
five() { app_submit net "$APP_DIR/docs/page.jpg" -o copies=5 -o media=iso_a6_105x148mm; }

sink_start "$APP_DIR/net" "" --page-ms 200 || exit 1
net_port=$SINK_PORT
app_add_printer net "socket://127.0.0.1:$net_port" || exit 1
app_wait_up net || exit 1

reasons() {
  ipptool -tv "$APP_URI/ipp/print/net" get-printer-attributes.test | awk -F' = ' '/printer-state-reasons/ { print $2 }'
}
reasons_are() { [ "$(reasons)" = "$1" ]; }
page_says() { curl -sf "http://127.0.0.1:$APP_PORT/net/" | matches -F "Printer: $1"; }
job_attr() { app_job_attr net "$1" "$2"; }
job_is() { [ "$(app_jobs net completed | awk -v id="$1" '$1 == id { print $2 }')" = "$2" ] || [ "$(app_jobs net not-completed | awk -v id="$1" '$1 == id { print $2 }')" = "$2" ]; }

# 1. Each condition, then ready again.
for condition in "door-open|cover-open|FRONT DOOR OPEN" "paper-out|media-empty,media-needed|LOAD TRAY 2 LETTER" \
                 "jam|media-jam|PAPER JAM" "toner-low|toner-low|TONER LOW" "offline|offline|OFFLINE"; do
  IFS='|' read -r command expected text <<<"$condition"
  sink_say "$command" >/dev/null
  check "$command: printer-state-reasons $expected" wait_for 10 reasons_are "$expected" || echo "  reasons: $(reasons)"
  check "$command: the printer's page says \"$text\"" wait_for 5 page_says "$text"
  sink_say ready >/dev/null
  check "$command cleared" wait_for 10 reasons_are none || echo "  reasons: $(reasons)"
done
check "the printer's page says READY again" wait_for 5 page_says READY

# 2. Jammed after page 2 of 5.
sink_say jam-at 3 >/dev/null
id=$(five)
check "the job stays processing while jammed" wait_for 20 reasons_are media-jam
sleep 2
check "still processing, with the panel text as its message" \
  test "$(app_jobs net not-completed | awk -v id="$id" '$1 == id { print $2 }')" = processing -a \
       "$(job_attr "$id" job-state-message)" = "PAPER JAM"
check "2 impressions while jammed" test "$(job_attr "$id" job-impressions-completed)" = 2
sink_say ready >/dev/null
check "completed once cleared" app_expect_job net "$id" completed 30
printed=$(sink_say state | sed 's/^pages=\([0-9]*\).*/\1/')
check "the printer had printed all 5 pages then ($printed in all)" test "$printed" -ge 5
check "5 impressions" test "$(job_attr "$id" job-impressions-completed)" = 5
check "state reasons clear" wait_for 10 reasons_are none

# 3. Cancel during a jam.
sink_say jam-at 2 >/dev/null
id=$(five)
check "jammed again" wait_for 20 reasons_are media-jam
start=$SECONDS
"$APP" cancel -u "$APP_URI/ipp/print/net" -j "$id"
check "canceled during the jam" app_expect_job net "$id" canceled 10
check "at once ($((SECONDS - start)) s)" test $((SECONDS - start)) -le 3
sink_say ready >/dev/null
wait_for 10 reasons_are none

# 4. Split replies in another format, and a flood.
sink_stop
sink_start "$APP_DIR/trickle" "$net_port" --page-ms 20 --spaced --trickle || exit 1
id=$(five)
check "replies one byte at a time: completed" app_expect_job net "$id" completed 60
check "with 5 impressions" test "$(job_attr "$id" job-impressions-completed)" = 5
sink_stop
sink_start "$APP_DIR/flood" "$net_port" --page-ms 300 || exit 1
rss() { awk '/VmRSS/ { print $2 }' "/proc/$APP_PID/status"; }
before=$(rss)
id=$(five)
wait_for 10 job_is "$id" processing
for round in 1 2 3 4; do sink_say flood 50000 >/dev/null; sleep 0.3; done
check "a flood of 200000 reports: completed" app_expect_job net "$id" completed 60
check "with 5 impressions" test "$(job_attr "$id" job-impressions-completed)" = 5
# (AddressSanitizer keeps freed memory in quarantine: no bound to check there.)
if [[ $(ldd "$APP") == *libasan* ]]; then
  echo "note - server memory grew $(( ($(rss) - before) / 1024 )) MiB under AddressSanitizer"
else
  check "server memory grew $(( ($(rss) - before) / 1024 )) MiB (at most 32)" test $(( $(rss) - before )) -le 32768
fi

# 5. A one-way printer.
sink_stop
sink_start "$APP_DIR/oneway" "" --silent || exit 1
app_add_printer oneway "socket://127.0.0.1:$SINK_PORT" || exit 1
start=$SECONDS
id=$(app_submit oneway "$APP_DIR/docs/a6.pwg")
check "a one-way printer's job completes" app_expect_job oneway "$id" completed 30
check "in $((SECONDS - start)) s (at most 10)" test $((SECONDS - start)) -le 10
check "and the printer got its 2 pages" test "$(app_pages "$APP_DIR/oneway/1.pcl")" = 2

# 6. Identify-Printer.
sink_stop
sink_start "$APP_DIR/identify" "$net_port" || exit 1
panel() { sink_say state | sed 's/.*panel="\([^"]*\)".*/\1/'; }
panel_is() { [ "$(panel)" = "$1" ]; }
identify=$(ipp_request identify Identify-Printer ' ATTR keyword identify-actions display\n ATTR text message "Hello \\"from\\" the test"')
ipptool -q "$APP_URI/ipp/print/net" "$identify"
check "Identify-Printer reaches the panel" wait_for 10 panel_is "Hello 'from' the test" || echo "  panel: $(panel)"
check "and leaves it again" wait_for 20 panel_is READY || echo "  panel: $(panel)"

[ "$failed" -eq 0 ] || app_log_tail
check "the server stops with no sanitizer report" app_stop
finish
