#!/usr/bin/env bash
# Builds the Debian package with CPack, installs it with apt-get like a user
# would, and checks that the print system finds and uses the installed
# driver: files and modes, cupstestppd on the installed PPD, lpinfo -m
# listing the model, and a queue made from that model printing the sample.
# Needs root (apt-get). Removes the package again if it was not installed
# before. Usage: deb-install-test.sh BUILD_DIR
set -uo pipefail
build=$(cd "${1:?usage: deb-install-test.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
# shellcheck source=cupsd-lib.sh
source "$here/cupsd-lib.sh"

[ "$(id -u)" -eq 0 ] || { echo "deb-install-test.sh must run as root (apt-get install)" >&2; exit 1; }

was_installed=no
dpkg-query -W -f='${Status}' rastertocorvane 2>/dev/null | grep -q "install ok installed" && was_installed=yes
cleanup() {
    cupsd_stop
    if [ "$was_installed" = no ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq rastertocorvane >/dev/null 2>&1 || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

rm -f "$build"/rastertocorvane_*.deb
(cd "$build" && cpack -G DEB >/dev/null 2>&1) || { echo "cpack failed" >&2; exit 1; }
deb=$(ls "$build"/rastertocorvane_*.deb)
check "cpack made $(basename "$deb")" test -f "$deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$build/deb-install.log" 2>&1
check "apt-get install ./$(basename "$deb")" test $? -eq 0

filter=$(cups-config --serverbin)/filter/rastertocorvane
ppd=/usr/share/ppd/corvane/corvane.ppd
check "filter installed with mode 0755" test "$(stat -c %a "$filter" 2>/dev/null)" = 755
check "man page installed" test -f /usr/share/man/man8/rastertocorvane.8
# The printer application's PDF renderer, where the app looks for it, and
# able to start (Ghostscript's library found): without its band memory it
# says so and stops.
renderer=/usr/libexec/rastertocorvane/corvane-render
check "PDF renderer installed beside the app" test -x "$renderer" -a -x /usr/bin/corvane-printer-app
check "PDF renderer starts" sh -c "'$renderer' rgb all 3>&- 2>&1 | grep -q 'band memory is missing'"
# Now that the filter is in place, cupstestppd checks it too.
check "cupstestppd passes the installed PPD" cupstestppd -q "$ppd"

# A private daemon with CUPS's own folders sees what the package installed.
cupsd_start || exit 1
# Debian's CUPS names models under /usr/share/ppd with an "lsb/usr/" prefix.
model=$(lpinfo -m 2>/dev/null | sed -n 's/^\([^ ]*corvane\.ppd\) Corvane PCL Laser.*/\1/p' | head -n 1)
check "lpinfo -m lists the Corvane model (${model:-none})" test "$model" = lsb/usr/corvane/corvane.ppd
out=$CUPSD_DIR/out
mkdir -p "$out" && chmod 0777 "$out"
check "lpadmin makes a queue from the model" \
    lpadmin -p corvane -E -v "file://$out/device.pcl" -m "${model:-lsb/usr/corvane/corvane.ppd}"
id=$(lp -d corvane -o media=A4 -o TonerDarkness=7 "$source_dir/samples/sample.pdf" 2>/dev/null |
    sed -n 's/^request id is corvane-\([0-9]*\).*/\1/p')
check "the sample prints through the installed driver" cupsd_wait_job "$id" 180
PCLINSPECT=$build/pclinspect
mv "$out/device.pcl" "$out/sample.pcl" && inspect "$out/sample"
expect_job "$out/sample" "DENSITY=2, ECONOMODE=OFF" "page size A4 (26)"
expect_pages "$out/sample" 3 4761x6816
finish
