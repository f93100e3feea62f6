#!/bin/sh
# Installs, from Debian's registry, whatever the build and the tests need and
# this machine lacks.  Needs root only when something is missing.
set -eu

packages="cmake ninja-build g++ libgtest-dev binutils util-linux gcc-multilib g++-multilib openjdk-17-jdk-headless libsensors-dev rapidjson-dev nlohmann-json3-dev pkg-config clang-14 clang libclang-rt-14-dev qemu-system-x86 qemu-user cpio xz-utils debhelper lintian curl systemd man-db libunwind8 e2fsprogs dpkg-dev"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -ne 0 ]; then
    echo "error: installing packages needs root" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
