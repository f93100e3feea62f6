# Sourced by the package tests: the files of a package (links as
# "PATH -> TARGET"), one per line, sorted, without folders.
package_files() {
    dpkg-deb -c "$1" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); line = $6; if ($7 == "->") line = line " -> " $8; print line }' |
        LC_ALL=C sort
}
