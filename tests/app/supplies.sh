#!/usr/bin/env bash
# Real supply levels: Debian's snmpd on 127.0.0.1 serves a colour laser's
# Printer MIB supply table (printer-mib.py: two toners, a waste box, a drum).
# A network printer whose device URI names that agent's port shows exactly
# those supplies in marker-* (PAPPL draws a supply without colour #777777)
# and printer-supply, and on its Supplies page; a
# printer whose SNMP does not answer shows no supply at all.
# Usage: supplies.sh BUILD_DIR SAMPLES_DIR
# Exits 77 (skipped) when snmpd is missing or cannot bind.
set -uo pipefail
build=$1
source "$(dirname "$0")/app-lib.sh"
trap app_stop EXIT
app_start "$build" || exit 1
snmp_start >"$APP_DIR/snmp-start.txt" || { echo "SKIP: $(cat "$APP_DIR/snmp-start.txt")"; exit 77; }
sink_start "$APP_DIR/net" || exit 1
app_add_printer laser "socket://127.0.0.1:$SINK_PORT/?snmp-port=$SNMP_PORT" || exit 1
app_add_printer mute "socket://127.0.0.1:$SINK_PORT/?snmp-port=$(app_free_port)" || exit 1

attribute() {  # attribute PRINTER NAME: its value as ipptool shows it
  ipptool -tv "$APP_URI/ipp/print/$1" get-printer-attributes.test | sed -n "s/^ *$2 ([^)]*) = //p"
}
has_levels() { [ "$(attribute laser marker-levels)" = "80,25,70,-3" ]; }
check "marker-levels from the agent" wait_for 20 has_levels || echo "  marker-levels: $(attribute laser marker-levels)"
check "marker-names" test "$(attribute laser marker-names)" = "Black Toner Cartridge,Cyan Toner Cartridge,Waste Toner Box,Imaging Drum" ||
  echo "  marker-names: $(attribute laser marker-names)"
check "marker-colors" test "$(attribute laser marker-colors)" = "#000000,#00FFFF,#777777,#777777" ||
  echo "  marker-colors: $(attribute laser marker-colors)"
supply=$(attribute laser printer-supply)
check "printer-supply: types and levels" grep -q 'type=tonerCartridge;maxcapacity=100;level=80;colorantname=black;.*type=wasteToner;maxcapacity=100;level=70;.*type=opc;' <<<"$supply" ||
  echo "  printer-supply: $supply"
check "the Supplies page shows them" bash -c "curl -sf http://127.0.0.1:$APP_PORT/laser/supplies | grep -q 'Cyan Toner Cartridge'"
sleep 3
check "no supply where SNMP does not answer" test -z "$(attribute mute marker-names)$(attribute mute printer-supply)"
check "the server stops with no sanitizer report" app_stop
finish
