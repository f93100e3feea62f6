#!/bin/sh
# Makes the virtual appliance's boot files in DIR (the build's appliance
# folder): the kernel and its modules and busybox from Debian's packages, and
# initramfs.cpio holding busybox with the applets of busybox-applets, the
# contents of the kit's packages in DEBS (as dpkg-deb unpacks them) and our
# guest programs (listed in DIR/guest-files) with the shared libraries and
# loaders they need, the guest's /init and the machines with their checks.
# usage: appliance/make-image.sh DIR DEBS
#        appliance/make-image.sh --inputs-sum   prints a digest of the files
#            packed from this folder, which the runner compares with the image's
set -eu
here=$(cd "$(dirname "$0")" && pwd)

inputs_sum() {
    (cd "$here" && find init modules.list busybox-applets machines -type f -exec sha256sum {} + | LC_ALL=C sort -k 2 |
        sha256sum | cut -d ' ' -f 1)
}
if [ "${1:-}" = --inputs-sum ]; then
    inputs_sum
    exit 0
fi

dir=$(cd "$1" && pwd)
debs=$(cd "$2" && pwd)
ls "$debs"/*.deb >/dev/null || { echo "make-image: no packages in $debs (tools/build-packages.sh)" >&2; exit 1; }
"$here/fetch-packages.sh" "$dir/packages"

root=$dir/root
rm -rf "$root"
mkdir -p "$root/bin" "$root/lib/modules" "$root/etc" "$root/proc" "$root/sys" "$root/dev" "$root/tmp"

# A file at its place in the guest, and for an ELF file the loader and the
# libraries it needs, read from its headers, at the places the guest's
# loader looks for them.
place() {
    mkdir -p "$root$(dirname "$1")"
    cp -L "$2" "$root$1"
    case $(head -c 4 "$2" | od -An -c | tr -d ' ') in
    177ELF) ;;
    *) return 0 ;;
    esac
    needs=$("$here/elf-needs.sh" "$2") || exit 1
    # One path a line: a folder's name may hold blanks.
    printf '%s\n' "$needs" | while IFS= read -r lib; do
        if [ -z "$lib" ] || [ -e "$root$lib" ]; then continue; fi
        mkdir -p "$root$(dirname "$lib")"
        cp -L "$lib" "$root$lib"
    done
}
place /bin/busybox "$dir/packages/busybox"
place /usr/bin/strace "$dir/packages/strace"
sed -e 's/#.*//' -e '/^ *$/d' "$here/busybox-applets" | while read -r applet; do
    ln -s busybox "$root/bin/$applet"
done
# The deliverables as the packages ship them: links kept, files placed.
shipped=$dir/shipped
rm -rf "$shipped"
mkdir "$shipped"
for deb in "$debs"/*.deb; do
    dpkg-deb -x "$deb" "$shipped"
done
(cd "$shipped" && find . ! -type d | LC_ALL=C sort) | while read -r f; do
    f=${f#.}
    if [ -L "$shipped$f" ]; then
        mkdir -p "$root$(dirname "$f")"
        cp -P "$shipped$f" "$root$f"
    else
        place "$f" "$shipped$f"
    fi
done
while read -r guest host; do
    [ -n "$guest" ] && place "$guest" "$host"
done <"$dir/guest-files"

sed -e 's/#.*//' -e '/^ *$/d' "$here/modules.list" >"$root/etc/hwkit-modules"
cp "$dir"/packages/modules/*.ko "$root/lib/modules/"
cp "$here/init" "$root/init"
chmod 755 "$root/init"
cp -R "$here/machines" "$root/machines"

(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet) >"$dir/initramfs.cpio.tmp"
mv "$dir/initramfs.cpio.tmp" "$dir/initramfs.cpio"
inputs_sum >"$dir/inputs.sum"
