#!/bin/sh
# Configures and builds one variant of the kit: plain or sanitize.
# usage: tools/build.sh plain|sanitize
set -eu
cd "$(dirname "$0")/.."
variant=${1:-plain}
case $variant in
plain) flags="" ;;
sanitize) flags="-DHWKIT_SANITIZE=ON" ;;
*) echo "usage: $0 plain|sanitize" >&2; exit 2 ;;
esac
# shellcheck disable=SC2086
cmake -S . -B "build/$variant" -G Ninja -DHWKIT_WERROR=ON $flags >/dev/null
cmake --build "build/$variant"
