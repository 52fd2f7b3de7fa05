#!/usr/bin/env bash
# Strangers: by default the server answers on loopback only, and survives a
# device search without Avahi. Listening on
# this machine's network address, a client without a login cannot add a
# printer (IPP or the web form): 403 when no authentication service is set,
# 401 with -o auth-service=login; it can print.
# Only the refusal side of the login is tested: PAM "login" needs a real
# account and password, which CI does not have.
# Usage: access.sh BUILD_DIR SAMPLES_DIR
set -euo pipefail
build=$1 samples=$2
source "$(dirname "$0")/app-lib.sh"
address=$(hostname -I 2>/dev/null | tr ' ' '\n' | grep -E '^[0-9.]+$' | grep -v '^127\.' | head -1 || true)
[ -n "$address" ] || { echo "access: no network address on this machine; skipped"; exit 77; }
trap 'app_stop || exit 1' EXIT

reachable() { (exec 3<>"/dev/tcp/$1/$APP_PORT") 2>/dev/null; }

APP_LISTEN= app_start "$build"
reachable 127.0.0.1 || { echo "not listening on loopback"; exit 1; }
! reachable "$address" || { echo "listening on $address without being told to"; exit 1; }
# PAPPL's device search: answered or refused, but the server lives (PAPPL
# aborts on it where no Avahi daemon runs).
cat >"$APP_DIR/find-devices.test" <<'TEST'
{ OPERATION 0x402b
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri system-uri $uri
  ATTR keyword smi55357-device-type all }
TEST
ipptool -T 20 "$APP_URI/ipp/system" "$APP_DIR/find-devices.test" >/dev/null 2>&1 || true
kill -0 "$APP_PID" 2>/dev/null || { echo "the device search aborted the server"; exit 1; }
app_stop

# Adding a printer from the network, over the web form or IPP, is refused
# with the given HTTP status.
refuses_administration() {  # STATUS
  local web="https://$address:$APP_PORT" page code
  for page in addprinter corvane/config corvane/delete; do
    code=$(curl -ks -o /dev/null -w '%{http_code}' "$web/$page")
    [ "$code" = "$1" ] || { echo "GET /$page: $code"; return 1; }
  done
  code=$(curl -ks -o /dev/null -w '%{http_code}' \
    -d "printer_name=stranger&device_uri=file:///tmp&driver_name=corvane" "$web/addprinter")
  [ "$code" = "$1" ] || { echo "web form: $code"; return 1; }
  ! "$APP" add -u "ipps://$address:$APP_PORT/ipp/system" -d stranger -m corvane -v file:///tmp \
    </dev/null >"$APP_DIR/add.out" 2>&1 || { echo "Create-Printer from the network was accepted"; return 1; }
  grep -q -i "unauthorized\|forbidden" "$APP_DIR/add.out" || { cat "$APP_DIR/add.out"; return 1; }
  ! SNAP_COMMON=$APP_DIR "$APP" printers | matches stranger || { echo "the stranger's printer exists"; return 1; }
}

# First with no login to ask for (administration is this machine's only),
# then with PAM's "login" service.
for auth in "" login; do
  APP_LISTEN=$address app_start "$build" ${auth:+-o auth-service=$auth}
  # The control socket is this machine's own way in.
  SNAP_COMMON=$APP_DIR "$APP" add -d corvane -m corvane -v "file://$APP_DIR/out?ext=pcl" >/dev/null
  if [ -z "$auth" ]; then refuses_administration 403; app_stop; fi
done
refuses_administration 401

id=$("$APP" submit -u "ipp://$address:$APP_PORT/ipp/print/corvane" "$samples/sample.pdf" </dev/null)
APP_URI="ipps://$address:$APP_PORT" app_expect_job corvane "$id" completed 30
