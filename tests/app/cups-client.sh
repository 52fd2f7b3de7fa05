#!/usr/bin/env bash
# A real client: a private CUPS 2.4 daemon gets a driverless queue pointing at
# the app (lpadmin -m everywhere, so CUPS builds the queue from the printer's
# own IPP attributes), lp prints the sample PDF to it on A4, and the printer
# stream the app writes to its file:// device holds the sample's three pages,
# with the job's name and paper size.
# Usage: cups-client.sh BUILD_DIR SAMPLES_DIR
# Exits 77 (skipped) when the CUPS daemon or ipptool is missing.
set -uo pipefail
build=$1 sample=$(realpath "$2/sample.pdf")
here=$(cd "$(dirname "$0")" && pwd)
PATH=$PATH:/usr/sbin:/sbin
for tool in cupsd lpadmin lp ipptool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
source "$here/app-lib.sh"

trap 'cupsd_stop; app_stop' EXIT
trap 'exit 130' INT TERM
app_start "$build" && app_add_printer corvane "file://$APP_DIR/out?ext=pcl" && app_wait_up corvane && cupsd_start || exit 1

check "driverless queue created" lpadmin -p corvane-ipp -E -v "$APP_URI/ipp/print/corvane" -m everywhere || {
    tail -n 30 "$CUPSD_DIR/log/error_log"
    exit 1
}
id=$(lp -d corvane-ipp -t cups-client -o media=A4 "$sample" | sed -n 's/^request id is corvane-ipp-\([0-9]*\).*/\1/p')
check "lp accepted the job" test -n "$id" && check "CUPS completed the job" cupsd_wait_job "$id" 120
check "the app completed the job" app_wait_jobs corvane 60
stem=$APP_DIR/out/cups-client
if check "the app wrote cups-client.pcl" test -s "$stem.pcl"; then
    check "the stream decodes with no problem" pcl_check "$stem.pcl"
    inspect "$stem"
    expect "$stem" "pages: 3"
    # The job's name and paper size went from lp through CUPS to the printer.
    expect "$stem" 'job name: "cups-client"'
    expect "$stem" "job preamble: raster resolution 600 dpi; unit of measure 600 units per inch; page size A4 (26); top margin 0 lines"
    # The document format CUPS chose for the app, for the record.
    format=$(grep "\[Job $id\]" "$CUPSD_DIR/log/error_log" | grep -o 'document-format=\\"[^\\]*' | head -n 1)
    echo "CUPS sent the app ${format#*\"}"
fi
[ "$failed" -eq 0 ] || { cat "$stem.txt" 2>/dev/null; app_log_tail; }
check "the server stops with no sanitizer report" app_stop
finish
