#!/bin/sh
# Configures and builds one variant of the kit: plain, sanitize, or fuzz (the
# port register tools' fuzz targets, built with clang); further arguments go
# to cmake's configuration.
# usage: tools/build.sh plain|sanitize|fuzz [-DNAME=VALUE]...
set -eu
cd "$(dirname "$0")/.."
variant=${1:-plain}
if [ $# -gt 0 ]; then shift; fi
case $variant in
plain) flags="" ;;
sanitize) flags="-DHWKIT_SANITIZE=ON" ;;
fuzz)
    flags="-DHWKIT_FUZZ=ON"
    export CC=clang CXX=clang++
    ;;
*) echo "usage: $0 plain|sanitize|fuzz [-DNAME=VALUE]..." >&2; exit 2 ;;
esac
# shellcheck disable=SC2086
cmake -S . -B "build/$variant" -G Ninja -DHWKIT_WERROR=ON $flags "$@" >/dev/null
cmake --build "build/$variant"
