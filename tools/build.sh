#!/bin/sh
# Configures and builds one variant of the kit: plain, sanitize, or fuzz (the
# port register tools' fuzz targets, built with clang); further arguments go
# to cmake's configuration.  "deb" installs what it needs and builds the
# Debian packages into build/deb (tools/build-packages.sh).
# usage: tools/build.sh plain|sanitize|fuzz [-DNAME=VALUE]...
#        tools/build.sh deb
set -eu
cd "$(dirname "$0")/.."
variant=${1:-plain}
if [ $# -gt 0 ]; then shift; fi
case $variant in
plain) flags="" ;;
sanitize) flags="-DHWKIT_SANITIZE=ON" ;;
deb)
    tools/install-deps.sh
    exec tools/build-packages.sh
    ;;
fuzz)
    flags="-DHWKIT_FUZZ=ON"
    export CC=clang CXX=clang++
    ;;
*) echo "usage: $0 plain|sanitize|fuzz [-DNAME=VALUE]... | deb" >&2; exit 2 ;;
esac
# shellcheck disable=SC2086
cmake -S . -B "build/$variant" -G Ninja -DHWKIT_WERROR=ON $flags "$@" >/dev/null
cmake --build "build/$variant"
