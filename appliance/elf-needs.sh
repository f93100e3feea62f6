#!/bin/sh
# Prints the program interpreter and every shared library that an ELF file
# needs, directly or through its libraries, one path per line, as the
# guest's loader will look for them.  Everything is read from the files'
# own headers (PT_INTERP, DT_NEEDED, DT_RUNPATH or DT_RPATH); nothing is run,
# so an i386 file resolves on a host whose kernel runs no i386 programs.
# A library is searched in its dependant's run path ($ORIGIN expanded),
# then in the folders of the dependant's class and machine; only a file of
# the same class and machine counts.  A truly static file needs nothing.
# A library found nowhere, or a file readelf cannot read, stops it.
# usage: appliance/elf-needs.sh FILE
set -eu
[ $# -eq 1 ] || { echo "usage: $0 FILE" >&2; exit 2; }

# "CLASS MACHINE" of an ELF file, as readelf names them.
kind() {
    LC_ALL=C readelf -hW -- "$1" 2>/dev/null |
        awk -F': *' '$1 ~ /^ *Class$/ { c = $2 } $1 ~ /^ *Machine$/ { m = $2 } END { print c " " m }'
}

# The loaders' own folders for each kind: multilib and multiarch.
folders() {
    case $1 in
    "ELF32 Intel 80386") echo /lib32 /usr/lib32 /lib/i386-linux-gnu /usr/lib/i386-linux-gnu ;;
    "ELF64 Advanced Micro Devices X86-64") echo /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu ;;
    *) return 1 ;;
    esac
}

fail() {
    echo "elf-needs: $*" >&2
    exit 1
}

found=$(mktemp)
queue=$(mktemp)
trap 'rm -f "$found" "$queue"' EXIT
printf '%s\n' "$1" >"$queue"
done_lines=0

while [ "$done_lines" -lt "$(wc -l <"$queue")" ]; do
    done_lines=$((done_lines + 1))
    file=$(sed -n "${done_lines}p" "$queue")
    headers=$(LC_ALL=C readelf -hldW -- "$file" 2>&1) || fail "$file: $headers"
    own=$(kind "$file")
    dirs=$(folders "$own") || fail "$file: no library folders known for $own"
    origin=$(cd "$(dirname "$file")" && pwd)

    interpreter=$(printf '%s\n' "$headers" | sed -n 's/.*\[Requesting program interpreter: \(.*\)\]$/\1/p')
    if [ -n "$interpreter" ]; then
        [ -f "$interpreter" ] || fail "$file: its interpreter $interpreter is not on this machine"
        grep -qxF "$interpreter" "$found" || { echo "$interpreter" >>"$found"; echo "$interpreter" >>"$queue"; }
    fi

    runpath=$(printf '%s\n' "$headers" | sed -n 's/.*(RUNPATH) *Library runpath: \[\(.*\)\]$/\1/p')
    [ -n "$runpath" ] || runpath=$(printf '%s\n' "$headers" | sed -n 's/.*(RPATH) *Library rpath: \[\(.*\)\]$/\1/p')
    search=$(printf '%s' "$runpath" | sed -e "s|\$ORIGIN|$origin|g" -e "s|\${ORIGIN}|$origin|g" | tr ':' ' ')

    for name in $(printf '%s\n' "$headers" | sed -n 's/.*(NEEDED) *Shared library: \[\(.*\)\]$/\1/p'); do
        lib=""
        for dir in $search $dirs; do
            if [ -f "$dir/$name" ] && [ "$(kind "$dir/$name")" = "$own" ]; then
                lib=$dir/$name
                break
            fi
        done
        [ -n "$lib" ] || fail "$file needs $name, which is in none of: $search $dirs"
        grep -qxF "$lib" "$found" || { echo "$lib" >>"$found"; echo "$lib" >>"$queue"; }
    done
done
cat "$found"
