#!/bin/sh
# Makes the Debian appliance's disk: a minimal Debian 12 root with systemd as
# init and the node exporter, made by Debian's own mmdebstrap (taken out of
# its package into OUT, not installed) from the sources this machine's apt
# uses, then set up for the checks (customize-root.sh) and packed into an
# ext4 image by mke2fs without a loop device.  Leaves in OUT:
#   root.img              the root file system (the runner boots it with
#                         snapshot=on: every boot starts from this image)
#   vmlinuz, initrd.img   the root's own kernel and initramfs
#   root.sum              what the image was made from; a second run with
#                         the same inputs does nothing
# Status 77 when Debian's registry cannot be reached.
# usage: appliance/debian/make-root.sh OUT
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$1
mkdir -p "$out"
out=$(cd "$out" && pwd)
fail() {
    echo "make-root: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap --mode=root)"

# The root's packages: the init, udev and the kernel with its initramfs, the
# node exporter, and what the kit's packages need (libsensors, the i386 C
# library for the 32-bit JNI libraries).  procps for the checks.
packages=systemd,systemd-sysv,udev,linux-image-amd64,initramfs-tools,kmod,procps,prometheus-node-exporter,libsensors5,libc6:i386

sources() {
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -s "$f" ] && printf '%s\n' "$f"
    done
    return 0
}
candidates() {
    for p in linux-image-amd64 systemd prometheus-node-exporter mmdebstrap; do
        apt-cache policy "$p" 2>/dev/null | awk -v p="$p" '/Candidate:/ { print p "=" $2 }'
    done
}
inputs() {
    echo "$packages"
    candidates
    sha256sum "$here/make-root.sh" "$here/customize-root.sh" | cut -d ' ' -f 1
}
if [ -s "$out/root.img" ] && [ -s "$out/vmlinuz" ] && [ -s "$out/initrd.img" ] &&
    [ "$(cat "$out/root.sum" 2>/dev/null)" = "$(inputs)" ]; then
    exit 0
fi
rm -rf "$out/root.img" "$out/vmlinuz" "$out/initrd.img" "$out/root.sum" "$out/unreachable" "$out/tool" "$out/root"

# A registry that cannot be reached is this machine's lot: status 77.
unreachable() {
    why=$(grep -m 1 -o -E "(Temporary failure resolving|Could not resolve|Could not connect to|Network is unreachable|No route to host|Connection timed out).*" "$1") ||
        return 1
    echo "Debian's package registry cannot be reached for the Debian appliance ($why)" | tee "$out/unreachable" >&2
    exit 77
}

mkdir -p "$out/tool"
if ! (cd "$out/tool" && apt-get download -q mmdebstrap) >"$out/tool/download.log" 2>&1; then
    apt-get update -q >/dev/null 2>&1 || true
    (cd "$out/tool" && apt-get download -q mmdebstrap) >"$out/tool/download.log" 2>&1 ||
        { cat "$out/tool/download.log" >&2; unreachable "$out/tool/download.log"; exit 1; }
fi
dpkg-deb -x "$out"/tool/mmdebstrap_*.deb "$out/tool"

# mmdebstrap mounts /proc, /sys and /dev inside the root: in a mount
# namespace of its own, so that nothing of it reaches this machine's.
set -- --mode=root --variant=apt --architectures=amd64,i386 --include="$packages" \
    --customize-hook="\"$here/customize-root.sh\" \"\$1\"" bookworm "$out/root"
for f in $(sources); do set -- "$@" "$f"; done
if ! unshare -m --propagation private "$out/tool/usr/bin/mmdebstrap" "$@" >"$out/mmdebstrap.log" 2>&1; then
    tail -n 30 "$out/mmdebstrap.log" >&2
    unreachable "$out/mmdebstrap.log"
    fail "mmdebstrap failed (log: $out/mmdebstrap.log)"
fi

cp -L "$out"/root/boot/vmlinuz-* "$out/vmlinuz"
cp -L "$out"/root/boot/initrd.img-* "$out/initrd.img"
mke2fs -q -t ext4 -L hwkit-root -d "$out/root" "$out/root.img.tmp" 2G >/dev/null
mv "$out/root.img.tmp" "$out/root.img"
rm -rf "$out/root" "$out/tool"
inputs >"$out/root.sum"
