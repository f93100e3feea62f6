#!/bin/sh
# Takes the node exporter, Prometheus and promtool out of Debian's packages
# prometheus-node-exporter and prometheus without installing anything
# (apt-get download, then dpkg-deb), into OUT/bin; and Debian 13's node
# exporter, from the same registry through an apt state of its own in OUT,
# as bin/prometheus-node-exporter-trixie.  A second run with the same
# package versions does nothing.
# usage: tests/ops/fetch-prometheus.sh OUT
set -eu
out=$1
mkdir -p "$out"
cd "$out"
packages="prometheus prometheus-node-exporter"
wanted=$(for p in $packages; do apt-cache policy "$p" | awk -v p="$p" '/Candidate:/ { print p "=" $2 }'; done)

# Debian 13's package from the registry that the machine's sources name.
trixie() {
    mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\/*\)$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
    [ -n "$mirror" ] || mirror=$(sed -n 's/^deb  *\(http[^ ]*\/debian\/*\) .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -n 1)
    apt=$(pwd)/trixie-apt
    rm -rf "$apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/deb"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] ${mirror:-http://deb.debian.org/debian} trixie main" \
        >"$apt/sources.list"
    : >"$apt/status"
    set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null \
        -o Dir::State::Lists="$apt/lists" -o Dir::State::Status="$apt/status" -o Dir::Cache="$apt/cache"
    { apt-get "$@" update -q && (cd "$apt/deb" && apt-get "$@" download -q prometheus-node-exporter); } \
        >"$apt/log" 2>&1 || { cat "$apt/log" >&2; exit 1; }
    dpkg-deb -x "$apt"/deb/*.deb "$apt/root"
    cp "$apt/root/usr/bin/prometheus-node-exporter" bin/prometheus-node-exporter-trixie
    rm -rf "$apt"
}

if [ -x bin/prometheus ] && [ -x bin/promtool ] && [ -x bin/prometheus-node-exporter ] &&
    [ "$(cat version 2>/dev/null)" = "$wanted" ]; then
    [ -x bin/prometheus-node-exporter-trixie ] || trixie
    exit 0
fi
rm -rf deb bin version
mkdir deb bin
# shellcheck disable=SC2086
if ! (cd deb && apt-get download -q $packages) >deb/download.log 2>&1; then
    apt-get update -q >/dev/null 2>&1 || true
    # shellcheck disable=SC2086
    (cd deb && apt-get download -q $packages) >deb/download.log 2>&1 || { cat deb/download.log >&2; exit 1; }
fi
for deb in deb/*.deb; do
    dpkg-deb -x "$deb" deb/root
done
cp deb/root/usr/bin/prometheus deb/root/usr/bin/promtool deb/root/usr/bin/prometheus-node-exporter bin/
rm -rf deb
trixie
echo "$wanted" >version
