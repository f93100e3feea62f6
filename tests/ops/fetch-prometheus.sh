#!/bin/sh
# Takes the node exporter, Prometheus and promtool out of Debian's packages
# prometheus-node-exporter and prometheus without installing anything
# (apt-get download, then dpkg-deb), into OUT/bin.  A second run with the
# same package versions does nothing.
# usage: tests/ops/fetch-prometheus.sh OUT
set -eu
out=$1
mkdir -p "$out"
cd "$out"
packages="prometheus prometheus-node-exporter"
wanted=$(for p in $packages; do apt-cache policy "$p" | awk -v p="$p" '/Candidate:/ { print p "=" $2 }'; done)
if [ -x bin/prometheus ] && [ -x bin/promtool ] && [ -x bin/prometheus-node-exporter ] &&
    [ "$(cat version 2>/dev/null)" = "$wanted" ]; then
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
echo "$wanted" >version
