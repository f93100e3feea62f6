#!/bin/sh
# The five packages installed with apt in a throwaway root of this machine
# (the i386 architecture enabled there, Depends from Debian's registry):
# psumon fails without the I/O privilege exactly as the built program does,
# sensors runs on the libsensors it depends on, a 64-bit JVM loads the amd64
# liblampio.so from its folder, the i386 libraries are in place with their
# class and soname; systemd-analyze verifies the units (and reports their
# exposure); after a purge no file of theirs is left.  Every program
# that could reach a port runs as user nobody without capabilities.
# usage: install_test.sh DEB-DIR BUILT-PSUMON JAVA JAVA-CLASSES [--in-root]
set -u
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
dir=$(cd "$1" && pwd) psumon=$(cd "$(dirname "$2")" && pwd)/$(basename "$2") java=$3 classes=$(cd "$4" && pwd)

if [ "${5:-}" != --in-root ]; then
    why=$("$top/tests/host-needs.sh" root) || { echo "skipped: $why"; exit 77; }
    exec "$top/tools/throwaway-root.sh" -b "$top" -b "$dir" -b "$(dirname "$psumon")" -b "$classes" -- \
        "$here/install_test.sh" "$dir" "$psumon" "$java" "$classes" --in-root
fi

. "$here/package-files.sh"
# shellcheck source=../support/expect.sh
. "$top/tests/support/expect.sh"
as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all --bounding-set=-all -- "$@"; }
# User nobody gets copies: the checkout may lie where nobody cannot reach.
mkdir -m 0755 /tmp/for-nobody
cp "$psumon" /tmp/for-nobody/psumon
cp -R "$classes" /tmp/for-nobody/classes
chmod -R a+rX /tmp/for-nobody
psumon=/tmp/for-nobody/psumon classes=/tmp/for-nobody/classes
export DEBIAN_FRONTEND=noninteractive

dpkg --add-architecture i386
apt-get update -q >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
apt-get install -y -q --no-install-recommends "$dir"/*.deb >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }

for mode in "" -test -loop; do
    expect "psumon $mode" "$(as_nobody "$psumon" $mode 2>&1; echo "status $?")" \
        "$(as_nobody /usr/sbin/psumon $mode 2>&1; echo "status $?")"
done
case $(as_nobody /usr/sbin/psumon -test 2>&1) in
"psumon v0.5
Error: Could not do iopl(3): "*) ;;
*) expect "psumon -test refused the I/O privilege" "Error: Could not do iopl(3): ..." "$(as_nobody /usr/sbin/psumon -test 2>&1)" ;;
esac

case $(/usr/bin/sensors -v 2>&1; echo "status $?") in
"sensors version 3.3.1 with libsensors version "*"
status 0") ;;
*) expect "sensors -v" "sensors version 3.3.1 with libsensors version ..." "$(/usr/bin/sensors -v 2>&1)" ;;
esac

expect "a 64-bit JVM loads the installed liblampio.so" "done
status 0" "$(as_nobody "$java" -Xcheck:jni -Djava.library.path=/usr/lib/x86_64-linux-gnu/jni -cp "$classes" LedCalls 8 1 2>&1
    echo "status $?")"

elf() { LC_ALL=C readelf -hdW "$1" | sed -n -e 's/^ *Class: *//p' -e 's/^ *Machine: *//p' -e 's/.*(SONAME).*\[\(.*\)\]$/soname \1/p'; }
jni=/usr/lib/i386-linux-gnu/jni
expect "i386 liblampio.so" "ELF32
Intel 80386" "$(elf $jni/liblampio.so)"
expect "i386 libhostexec.so.1" "ELF32
Intel 80386
soname libhostexec.so.1" "$(elf $jni/libhostexec.so.1)"
expect "libhostexec.so, the name Java loads" "$(readlink -f $jni/libhostexec.so.1)" "$(readlink -f $jni/libhostexec.so)"

units=/lib/systemd/system
expect "systemd-analyze verify of the units" "" \
    "$(systemd-analyze verify $units/psumon-watch.service $units/psumon-textfile.service $units/psumon-textfile.timer \
        $units/sensors-export.service $units/sensors-export.timer 2>&1)"
for unit in psumon-watch.service psumon-textfile.service sensors-export.service; do
    systemd-analyze security --offline=true "$units/$unit" 2>&1 | tail -n 1
done

apt-get purge -y -q hwkit hwkit-sensors liblampio-jni:amd64 liblampio-jni:i386 libhostexec-jni:i386 >/tmp/apt.log 2>&1 ||
    { cat /tmp/apt.log; exit 1; }
left=$(for deb in "$dir"/*.deb; do
    package_files "$deb" | sed 's/ -> .*//' | while read -r f; do
        if [ -e "$f" ] || [ -L "$f" ]; then echo "$f"; fi
    done
done)
expect "files left after the purge" "" "$left"
expect "packages left after the purge" "" "$(dpkg-query -W -f '${Package} ${Status}\n' hwkit hwkit-sensors liblampio-jni libhostexec-jni 2>/dev/null | grep -v 'not-installed$')"

[ $failures -eq 0 ]
