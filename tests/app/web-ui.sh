#!/usr/bin/env bash
# The web interface in a real browser: Debian's chromium, driven by
# playwright-core (browser/web-ui.js), adds a printer on a file:// device
# through the app's Add Printer form and prints the test page with its
# button; the page must reach the device as a printer stream that decodes.
# playwright-core is installed with npm ci into BUILD_DIR/tests/app-browser.
# Usage: web-ui.sh BUILD_DIR SAMPLES_DIR
# Exits 77 (skipped) when chromium, node or npm is missing.
set -uo pipefail
build=$1 modules=$1/tests/app-browser
here=$(cd "$(dirname "$0")" && pwd)
export CHROMIUM=${CHROMIUM:-/usr/bin/chromium}
[ -x "$CHROMIUM" ] || { echo "SKIP: no $CHROMIUM (scripts/install-deps.sh installs chromium)"; exit 77; }
for tool in node npm ipptool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
source "$here/app-lib.sh"

# playwright-core at the version package-lock.json pins, installed once.
mkdir -p "$modules"
if ! cmp -s "$here/browser/package-lock.json" "$modules/package-lock.json" ||
    [ ! -f "$modules/node_modules/playwright-core/package.json" ]; then
    cp "$here/browser/package.json" "$here/browser/package-lock.json" "$modules/"
    (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error) || { echo "npm ci failed" >&2; exit 1; }
fi

trap app_stop EXIT
trap 'exit 130' INT TERM
app_start "$build" || exit 1
NODE_PATH=$modules/node_modules node "$here/browser/web-ui.js" \
    "http://127.0.0.1:$APP_PORT" web "file://$APP_DIR/out?ext=pcl" "$APP_DIR/chromium" | tee "$APP_DIR/browser.log"
status=${PIPESTATUS[0]}
passed=$(grep -c '^ok - ' "$APP_DIR/browser.log")
failed=$(grep -c '^FAIL - ' "$APP_DIR/browser.log")
check "the browser session ran to its end" test "$status" -ne 2 -a "$((passed + failed))" -gt 0

if grep -q '^ok - the app says the test page is printed' "$APP_DIR/browser.log"; then
    check "the test page job completed" app_wait_jobs web 60
    check "the test page reached the device, one page that decodes" test "$(app_pages "$APP_DIR/out/Test Page.pcl")" = 1
fi
[ "$failed" -eq 0 ] || app_log_tail
check "the server stops with no sanitizer report" app_stop
finish
