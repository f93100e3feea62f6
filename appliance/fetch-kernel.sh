#!/bin/sh
# Fetches Debian's current amd64 kernel package from the package registry,
# without installing it, and leaves in OUT:
#   vmlinux         the uncompressed kernel (QEMU boots it through its PVH
#                   entry, seconds faster under emulation than the bzImage)
#   modules/*.ko    the modules the appliance loads, flat
#   version         the kernel release
# A second run with the same package in OUT does nothing.
# usage: appliance/fetch-kernel.sh OUT
set -eu
out=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"

resolve() { apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'; }
package=$(resolve)
if [ -z "$package" ]; then
    apt-get update -q >/dev/null
    package=$(resolve)
fi
[ -n "$package" ] || { echo "fetch-kernel: no kernel package behind linux-image-amd64" >&2; exit 1; }
release=${package#linux-image-}

if [ -f vmlinux ] && [ "$(cat version 2>/dev/null)" = "$release" ]; then
    exit 0
fi
rm -rf deb vmlinux modules version
mkdir deb modules
if ! (cd deb && apt-get download -q "$package") >deb/download.log 2>&1; then
    cat deb/download.log >&2
    exit 1
fi
deb=$(ls deb/*.deb)

# Only the kernel image and our modules are taken out of the package.
wanted=$(sed -e 's/#.*//' -e 's/ .*//' "$here/modules.list" | grep -v '^$')
set -- "./boot/vmlinuz-$release"
for m in $wanted; do set -- "$@" "*/$m.ko"; done
mkdir deb/root
dpkg-deb --fsys-tarfile "$deb" | tar -x -C deb/root --wildcards "$@"
for m in $wanted; do
    find deb/root/lib/modules -name "$m.ko" -exec cp {} modules/ \;
    [ -f "modules/$m.ko" ] || { echo "fetch-kernel: $package has no module $m" >&2; exit 1; }
done

# The bzImage carries the kernel as one xz stream; cut it out from its magic.
vmlinuz=deb/root/boot/vmlinuz-$release
offset=$(grep -abo "$(printf '\3757zXZ\000')" "$vmlinuz" | head -n 1 | cut -d: -f1)
[ -n "$offset" ] || { echo "fetch-kernel: no xz stream in $vmlinuz" >&2; exit 1; }
tail -c "+$((offset + 1))" "$vmlinuz" | xz -dc --single-stream >vmlinux.tmp
mv vmlinux.tmp vmlinux
rm -rf deb
echo "$release" >version
