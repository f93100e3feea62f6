#!/bin/sh
# Configures and builds one variant of the kit: plain, sanitize, or fuzz (the
# port register tools' fuzz targets, built with clang).
# usage: tools/build.sh plain|sanitize|fuzz
set -eu
cd "$(dirname "$0")/.."
variant=${1:-plain}
case $variant in
plain) flags="" ;;
sanitize) flags="-DHWKIT_SANITIZE=ON" ;;
fuzz)
    flags="-DHWKIT_FUZZ=ON"
    export CC=clang CXX=clang++
    ;;
*) echo "usage: $0 plain|sanitize|fuzz" >&2; exit 2 ;;
esac
# shellcheck disable=SC2086
cmake -S . -B "build/$variant" -G Ninja -DHWKIT_WERROR=ON $flags >/dev/null
cmake --build "build/$variant"
