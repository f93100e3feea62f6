#!/bin/sh
# Renders every man page that an installation of the build holds, with
# groff's and man's warnings on, as an 80-column terminal shows it, and
# fails on any warning or on a page whose NAME section lexgrog cannot read.
# usage: check_man_pages.sh BUILD-DIR
set -u
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null || exit 1
failures=0
pages=$(find "$prefix/share/man" -type f | LC_ALL=C sort)
[ -n "$pages" ] || { echo "no man pages installed"; exit 1; }
for page in $pages; do
    name=${page#"$prefix"/}
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 groff -ww -z -man -Tutf8 "$page" 2>&1
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        printf '%s:\n%s\n' "$name" "$warnings"
        failures=$((failures + 1))
    fi
    lexgrog "$page" >/dev/null 2>&1 || { echo "$name: lexgrog finds no NAME section"; failures=$((failures + 1)); }
done
[ $failures -eq 0 ] && echo "ok: $(echo "$pages" | wc -l) pages"
[ $failures -eq 0 ]
