#!/bin/sh
# Builds the kit's Debian packages into build/deb: the amd64 ones (hwkit,
# hwkit-sensors, liblampio-jni) with dpkg-buildpackage on this machine, and
# the i386 JNI libraries (liblampio-jni, libhostexec-jni) cross-built with
# Debian's crossbuild-essential-i386 under the build profile
# pkg.hwkit.jni-only (no dbgsym packages, no tests: the tree was tested).
# The cross compilers cannot be installed beside gcc-multilib, which the
# tests need, so the i386 build runs in a throwaway root
# (tools/throwaway-root.sh) that gets them from Debian's registry and is
# discarded afterwards.  The packages are built from the committed tree, as
# git archive gives HEAD: files that git does not track never get in, and
# changes not yet committed are left out, with a warning.  Each build works
# on its own copy of it; the version is read from that copy.
# usage: tools/build-packages.sh
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
out=$top/build/deb
fail() {
    echo "build-packages: $*" >&2
    exit 1
}

git rev-parse --verify -q HEAD >/dev/null || fail "$top is no git checkout with a commit"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "build-packages: warning: changes not committed are left out of the packages" >&2

rm -rf "$out"
mkdir -p "$out/amd64" "$out/i386"
git archive --format=tar -o "$out/source.tar" HEAD
mkdir "$out/amd64/source"
tar -x -f "$out/source.tar" -C "$out/amd64/source"
version=$(sed -n 's/^project(hwkit VERSION \([^ ]*\) .*/\1/p' "$out/amd64/source/CMakeLists.txt")
[ -n "$version" ] || fail "no version in the project() line of CMakeLists.txt"
[ "$(dpkg-parsechangelog -l "$out/amd64/source/debian/changelog" -S Version)" = "$version" ] ||
    fail "debian/changelog is not at version $version"
mv "$out/amd64/source" "$out/amd64/hwkit-$version"
mkdir "$out/i386/hwkit-$version"
tar -x -f "$out/source.tar" -C "$out/i386/hwkit-$version"
rm "$out/source.tar"
DEB_BUILD_OPTIONS="parallel=$(nproc) nocheck noautodbgsym"
export DEB_BUILD_OPTIONS

(cd "$out/amd64/hwkit-$version" && dpkg-buildpackage -b -us -uc) >"$out/amd64/build.log" 2>&1 ||
    { tail -n 40 "$out/amd64/build.log" >&2; exit 1; }

cat >"$out/i386/build.sh" <<EOF
set -eu
export DEBIAN_FRONTEND=noninteractive DEB_BUILD_OPTIONS="$DEB_BUILD_OPTIONS"
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends crossbuild-essential-i386
# dpkg-shlibdeps takes the dependencies from the i386 C library of the i386
# architecture (libc6:i386), as an appliance has it, not from multilib's
# (libc6-i386), which it would find first.
apt-get purge -y -q libc6-i386
apt-get install -y -q --no-install-recommends libc6:i386
cd "$out/i386/hwkit-$version"
dpkg-buildpackage -a i386 -Pcross,nocheck,pkg.hwkit.jni-only -b -us -uc
EOF
tools/throwaway-root.sh -b "$out/i386" -- sh "$out/i386/build.sh" >"$out/i386/build.log" 2>&1 ||
    { tail -n 40 "$out/i386/build.log" >&2; exit 1; }

mv "$out"/amd64/*.deb "$out"/i386/*.deb "$out/"
ls "$out"/*.deb
