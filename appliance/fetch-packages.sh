#!/bin/sh
# Fetches, from Debian's package registry and without installing anything,
# what the guest is made of, and leaves in OUT:
#   vmlinux         the current amd64 kernel, uncompressed (QEMU boots it
#                   through its PVH entry, seconds faster under emulation
#                   than the bzImage)
#   modules/*.ko    the modules the appliance loads, flat
#   strace          Debian's strace, for the checks that count system calls
#   busybox         Debian's dynamically linked busybox, whose shell runs
#                   only the applets that have a link (the static one runs
#                   every applet it carries, its I2C tools among them)
#   version         the kernel, busybox and strace packages
# A second run with the same packages in OUT does nothing.  Status 77 when
# Debian's registry cannot be reached.
# usage: appliance/fetch-packages.sh OUT
set -eu
out=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"

kernel_package() { apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'; }
candidate() { apt-cache policy "$1" 2>/dev/null | awk '/Candidate:/ { print $2 }'; }

kernel=$(kernel_package)
[ -n "$kernel" ] || { apt-get update -q >/dev/null; kernel=$(kernel_package); }
[ -n "$kernel" ] || { echo "fetch-packages: no kernel package behind linux-image-amd64" >&2; exit 1; }
release=${kernel#linux-image-}
wanted="$kernel busybox=$(candidate busybox) strace=$(candidate strace)"
if [ -f vmlinux ] && [ -f busybox ] && [ -f strace ] && [ "$(cat version 2>/dev/null)" = "$wanted" ]; then
    exit 0
fi

# Package lists older than the registry name packages it no longer has:
# one refresh, then one more try.  A registry that cannot be reached at all
# is this machine's lot, not a fault: status 77, and the reason in
# OUT/unreachable for the runner.
download() {
    (cd deb && apt-get download -q "$@") >deb/download.log 2>&1 && return 0
    apt-get update -q >/dev/null 2>&1 || true
    (cd deb && apt-get download -q "$@") >deb/download.log 2>&1 && return 0
    cat deb/download.log >&2
    unreachable=$(grep -m 1 -o -E "(Temporary failure resolving|Could not resolve|Could not connect to|Network is unreachable|No route to host|Connection timed out).*" deb/download.log) || exit 1
    echo "Debian's package registry cannot be reached for the kernel package ($unreachable)" | tee unreachable >&2
    exit 77
}

rm -rf deb vmlinux modules busybox strace version unreachable
mkdir -p deb/kernel deb/busybox deb/strace modules
download "$kernel" busybox strace

# Only the kernel image and our modules are taken out of the kernel package.
modules=$(sed -e 's/#.*//' -e 's/ .*//' "$here/modules.list" | grep -v '^$')
set -- "./boot/vmlinuz-$release"
for m in $modules; do set -- "$@" "*/$m.ko"; done
dpkg-deb --fsys-tarfile deb/"$kernel"_*.deb | tar -x -C deb/kernel --wildcards "$@"
for m in $modules; do
    find deb/kernel/lib/modules -name "$m.ko" -exec cp {} modules/ \;
    [ -f "modules/$m.ko" ] || { echo "fetch-packages: $kernel has no module $m" >&2; exit 1; }
done

# The bzImage carries the kernel as one xz stream: cut it out from its magic
# (FD 37 7A 58 5A 00).
vmlinuz=deb/kernel/boot/vmlinuz-$release
offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" | head -n 1 | cut -d: -f1)
[ -n "$offset" ] || { echo "fetch-packages: no xz stream in $vmlinuz" >&2; exit 1; }
tail -c "+$((offset + 1))" "$vmlinuz" | xz -dc --single-stream >vmlinux.tmp
mv vmlinux.tmp vmlinux

dpkg-deb -x deb/busybox_*.deb deb/busybox
cp deb/busybox/bin/busybox busybox
dpkg-deb -x deb/strace_*.deb deb/strace
cp deb/strace/usr/bin/strace strace

rm -rf deb
echo "$wanted" >version
