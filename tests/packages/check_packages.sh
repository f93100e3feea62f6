#!/bin/sh
# The packages as built files: exactly the five expected, each with its
# architecture, Multi-Arch field and files; each at the project's version,
# which debian/changelog gives too; Depends from the libraries the files
# need (a C library at least); and lintian finds neither errors nor
# warnings.
# usage: check_packages.sh DEB-DIR VERSION DEBIAN-CHANGELOG EXPECTED-CONTENTS
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package-files.sh"
dir=$1 version=$2 changelog=$3 expected=$4
failures=0
fail() {
    echo "$*"
    failures=$((failures + 1))
}

contents=$(for deb in "$dir"/*.deb; do
    printf 'package %s %s %s\n' "$(dpkg-deb -f "$deb" Package)" "$(dpkg-deb -f "$deb" Architecture)" \
        "$(dpkg-deb -f "$deb" Multi-Arch)"
    package_files "$deb" | sed 's/^/  /'
done)
[ "$contents" = "$(cat "$expected")" ] ||
    fail "the packages differ from $expected:
$(printf '%s\n' "$contents" | diff "$expected" -)"

[ "$(dpkg-parsechangelog -l "$changelog" -S Version)" = "$version" ] ||
    fail "$changelog is not at the project's version $version"
for deb in "$dir"/*.deb; do
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb: version $(dpkg-deb -f "$deb" Version), not $version"
    case $(dpkg-deb -f "$deb" Depends) in
    *"libc6 ("*) ;;
    *) fail "$deb: Depends names no C library: $(dpkg-deb -f "$deb" Depends)" ;;
    esac
done

report=$(lintian --fail-on error,warning "$dir"/*.deb 2>&1) ||
    fail "lintian reports errors or warnings:
$report"

[ $failures -eq 0 ]
