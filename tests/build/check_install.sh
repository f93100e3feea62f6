#!/bin/sh
# Installs a build into a scratch prefix and compares what lands there, links
# included, with the expected layout; nothing of the test builds may be among it.
# usage: check_install.sh BUILD-DIR EXPECTED-LAYOUT
set -eu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
found=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort | while read -r f; do
    if [ -L "$prefix/$f" ]; then echo "$f -> $(readlink "$prefix/$f")"; else echo "$f"; fi
done)
if [ "$found" != "$(cat "$2")" ]; then
    echo "FAIL: installed files differ from $2:"
    printf '%s\n' "$found" | diff "$2" - || true
    exit 1
fi
echo "ok: $(printf '%s\n' "$found" | wc -l) files"
