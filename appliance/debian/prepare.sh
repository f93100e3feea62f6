#!/bin/sh
# Prepares the Debian appliance in DIR/debian (DIR the build's appliance
# folder), from the kit's packages in DEBS:
#   root.img, vmlinuz, initrd.img   the Debian root (make-root.sh)
#   repo/first                      the kit's packages as built, with their index
#   repo/upgrade                    hwkit and hwkit-sensors built again from
#                                   the same committed tree with a higher
#                                   version, for the upgrade check
#   prometheus/bin                  Prometheus for the host (tests/ops/fetch-prometheus.sh)
# Status 77 when Debian's registry cannot be reached.
# usage: appliance/debian/prepare.sh DIR DEBS
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
out=$(cd "$1" && pwd)/debian
debs=$(cd "$2" && pwd)
fail() {
    echo "prepare: $*" >&2
    exit 1
}
ls "$debs"/*.deb >/dev/null 2>&1 || fail "no packages in $debs (tools/build-packages.sh)"
mkdir -p "$out"

status=0
"$here/make-root.sh" "$out" || status=$?
[ $status -eq 0 ] || exit $status
"$top/tests/ops/fetch-prometheus.sh" "$out/prometheus"

index() {
    (cd "$1" && dpkg-scanpackages --multiversion . /dev/null >Packages 2>scan.log) || { cat "$1/scan.log" >&2; exit 1; }
    rm "$1/scan.log"
}
rm -rf "$out/repo/first"
mkdir -p "$out/repo/first"
cp "$debs"/*.deb "$out/repo/first/"
index "$out/repo/first"

# The upgrade: the committed tree again, its changelog one entry further.
version=$(dpkg-deb -f "$debs"/hwkit_*_amd64.deb Version)
upgrade=$version+upgrade1
if [ "$(cat "$out/repo/upgrade/built-from" 2>/dev/null)" != "$(git -C "$top" rev-parse HEAD) $upgrade" ]; then
    rm -rf "$out/repo/upgrade" "$out/upgrade-build"
    mkdir -p "$out/upgrade-build/hwkit-$upgrade" "$out/repo/upgrade"
    src=$out/upgrade-build/hwkit-$upgrade
    git -C "$top" archive --format=tar -o "$out/upgrade-build/source.tar" HEAD
    tar -x -f "$out/upgrade-build/source.tar" -C "$src"
    {
        printf 'hwkit (%s) unstable; urgency=medium\n\n  * Rebuilt for the upgrade check.\n\n' "$upgrade"
        printf ' -- The hwkit developers <hwkit@hwkit.org>  %s\n\n' "$(date -R)"
        cat "$src/debian/changelog"
    } >"$src/debian/changelog.new"
    mv "$src/debian/changelog.new" "$src/debian/changelog"
    (cd "$src" && DEB_BUILD_OPTIONS="parallel=$(nproc) nocheck noautodbgsym" dpkg-buildpackage -b -us -uc) \
        >"$out/upgrade-build/build.log" 2>&1 || { tail -n 40 "$out/upgrade-build/build.log" >&2; exit 1; }
    cp "$out/upgrade-build/hwkit_${upgrade}_amd64.deb" "$out/upgrade-build/hwkit-sensors_${upgrade}_amd64.deb" \
        "$out/repo/upgrade/"
    index "$out/repo/upgrade"
    rm -rf "$out/upgrade-build"
    echo "$(git -C "$top" rev-parse HEAD) $upgrade" >"$out/repo/upgrade/built-from"
fi
printf '%s\n%s\n' "$version" "$upgrade" >"$out/repo/versions"
