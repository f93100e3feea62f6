#!/bin/sh
# In a throwaway root where another package already owns /usr/bin/sensors,
# dpkg refuses hwkit-sensors and leaves that file alone, and hwkit and the
# JNI libraries install all the same.
# usage: conflict_test.sh DEB-DIR [--in-root]
set -u
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
dir=$(cd "$1" && pwd)

if [ "${2:-}" != --in-root ]; then
    why=$("$top/tests/host-needs.sh" root) || { echo "skipped: $why"; exit 77; }
    exec "$top/tools/throwaway-root.sh" -b "$top" -b "$dir" -- "$here/conflict_test.sh" "$dir" --in-root
fi

# shellcheck source=../support/expect.sh
. "$top/tests/support/expect.sh"
export DEBIAN_FRONTEND=noninteractive

other=/tmp/other-sensors
mkdir -p "$other/DEBIAN" "$other/usr/bin"
printf 'Package: other-sensors\nVersion: 1\nArchitecture: all\nMaintainer: nobody <nobody@localhost>\nDescription: another sensors program\n' \
    >"$other/DEBIAN/control"
printf '#!/bin/sh\necho another sensors program\n' >"$other/usr/bin/sensors"
chmod 755 "$other/usr/bin/sensors"
dpkg-deb -b "$other" /tmp/other-sensors.deb >/dev/null && dpkg -i /tmp/other-sensors.deb >/dev/null || exit 1
before=$(sha256sum /usr/bin/sensors)

refusal=$(dpkg -i "$dir"/hwkit-sensors_*.deb 2>&1)
expect "dpkg -i hwkit-sensors" 1 "$?"
case $refusal in
*"trying to overwrite '/usr/bin/sensors', which is also in package other-sensors"*) ;;
*) expect "dpkg's refusal" "... trying to overwrite '/usr/bin/sensors', which is also in package other-sensors ..." "$refusal" ;;
esac
expect "/usr/bin/sensors after the refusal" "$before" "$(sha256sum /usr/bin/sensors)"
expect "hwkit-sensors after the refusal" "" "$(dpkg-query -W -f '${Status}\n' hwkit-sensors 2>/dev/null | grep -v 'not-installed$')"

dpkg --add-architecture i386
apt-get update -q >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
if ! apt-get install -y -q --no-install-recommends "$dir"/hwkit_*.deb "$dir"/liblampio-jni_*.deb \
    "$dir"/libhostexec-jni_*.deb >/tmp/apt.log 2>&1; then
    cat /tmp/apt.log
    failures=$((failures + 1))
fi
expect "the rest of the kit" "hwkit install ok installed
libhostexec-jni:i386 install ok installed
liblampio-jni:amd64 install ok installed
liblampio-jni:i386 install ok installed" \
    "$(dpkg-query -W -f '${binary:Package} ${Status}\n' hwkit liblampio-jni libhostexec-jni | LC_ALL=C sort)"
expect "/usr/bin/sensors in the end" "another sensors program" "$(/usr/bin/sensors)"

[ $failures -eq 0 ]
