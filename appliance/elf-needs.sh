#!/bin/sh
# Prints the program interpreter and every shared library that an ELF file
# needs, directly or through its libraries, one path per line, as the
# guest's loader will look for them.  Everything is read from the files'
# own headers (PT_INTERP, DT_NEEDED, DT_RUNPATH, DT_RPATH); nothing is run,
# so an i386 file resolves on a host whose kernel runs no i386 programs.
# The loader's order: a file without a DT_RUNPATH has its libraries
# searched in its own DT_RPATH, then in the DT_RPATH of the file that loaded
# it, and so on up to the executable; a file with a DT_RUNPATH in that alone
# (its DT_RPATH is ignored, and none is passed on from above); then the
# folders of the file's class and machine.  $ORIGIN in a path is the folder
# of the file the path belongs to.  Only a file of the same class and
# machine counts.  A truly static file needs nothing.  A library found
# nowhere, or a file readelf cannot read, stops it.  Paths may hold any
# character but a newline.
# usage: appliance/elf-needs.sh FILE
set -eu
[ $# -eq 1 ] || { echo "usage: $0 FILE" >&2; exit 2; }
nl='
'

# "CLASS MACHINE" of an ELF file, as readelf names them.
kind() {
    LC_ALL=C readelf -hW -- "$1" 2>/dev/null |
        awk -F': *' '$1 ~ /^ *Class$/ { c = $2 } $1 ~ /^ *Machine$/ { m = $2 } END { print c " " m }'
}

# The loaders' own folders for each kind, one a line: multilib and multiarch.
folders() {
    case $1 in
    "ELF32 Intel 80386") printf '%s\n' /lib32 /usr/lib32 /lib/i386-linux-gnu /usr/lib/i386-linux-gnu ;;
    "ELF64 Advanced Micro Devices X86-64") printf '%s\n' /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu ;;
    *) return 1 ;;
    esac
}

fail() {
    echo "elf-needs: $*" >&2
    exit 1
}

# TEXT with each $ORIGIN and ${ORIGIN} replaced by ORIGIN, taken literally.
# shellcheck disable=SC2016 # the loader's two spellings, not expansions
plain_origin='$ORIGIN' braced_origin='${ORIGIN}'
expand_origin() {
    e_text=$1 e_out=""
    while :; do
        e_plain=${e_text%%"$plain_origin"*}
        e_braced=${e_text%%"$braced_origin"*}
        if [ ${#e_plain} -lt ${#e_braced} ]; then
            e_out=$e_out$e_plain$2
            e_text=${e_text#*"$plain_origin"}
        elif [ ${#e_braced} -lt ${#e_text} ]; then
            e_out=$e_out$e_braced$2
            e_text=${e_text#*"$braced_origin"}
        else
            printf '%s' "$e_out$e_text"
            return
        fi
    done
}

# The folders of a colon-separated run path, one a line, each expanded
# against ORIGIN as the loader does after splitting.
run_path_folders() {
    r_old_ifs=$IFS
    IFS=:
    for r_element in $1; do
        [ -n "$r_element" ] && printf '%s\n' "$(expand_origin "$r_element" "$2")"
    done
    IFS=$r_old_ifs
}

# The header line's bracketed value for a dynamic tag, one a line.
tag_values() {
    printf '%s\n' "$headers" | sed -n "s/.*($1) *$2: \[\(.*\)\]\$/\1/p"
}

# queue: the files to read, one a line; found: the output; chain.N: the
# DT_RPATH folders that the loaders above the queue's Nth file pass on.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' "$1" >"$work/queue"
: >"$work/found"
: >"$work/chain.1"
queued=1
n=0

# Word splitting only at line ends, and no globbing, for paths with blanks.
IFS=$nl
set -f

# Queues a file once, with the folders its loader passes on.
enqueue() {
    grep -qxF -- "$1" "$work/found" && return
    printf '%s\n' "$1" >>"$work/found"
    printf '%s\n' "$1" >>"$work/queue"
    queued=$((queued + 1))
    printf '%s' "$2" >"$work/chain.$queued"
}

while [ "$n" -lt "$queued" ]; do
    n=$((n + 1))
    file=$(sed -n "${n}p" "$work/queue")
    chain=$(cat "$work/chain.$n")
    headers=$(LC_ALL=C readelf -hldW -- "$file" 2>&1) || fail "$file: $headers"
    own=$(kind "$file")
    dirs=$(folders "$own") || fail "$file: no library folders known for $own"
    origin=$(cd "$(dirname "$file")" && pwd)

    interpreter=$(printf '%s\n' "$headers" | sed -n 's/.*\[Requesting program interpreter: \(.*\)\]$/\1/p')
    if [ -n "$interpreter" ]; then
        [ -f "$interpreter" ] || fail "$file: its interpreter $interpreter is not on this machine"
        enqueue "$interpreter" ""
    fi

    runpath=$(tag_values RUNPATH 'Library runpath')
    if [ -n "$runpath" ]; then
        search=$(run_path_folders "$runpath" "$origin")
        passed=$chain
    else
        passed=$(run_path_folders "$(tag_values RPATH 'Library rpath')" "$origin")
        passed=$passed${passed:+${chain:+$nl}}$chain
        search=$passed
    fi

    for name in $(tag_values NEEDED 'Shared library'); do
        lib=""
        tried=""
        for dir in $search $dirs; do
            tried="$tried $dir"
            if [ -f "$dir/$name" ] && [ "$(kind "$dir/$name")" = "$own" ]; then
                lib=$dir/$name
                break
            fi
        done
        [ -n "$lib" ] || fail "$file needs $name, which is in none of:$tried"
        enqueue "$lib" "$passed"
    done
done
cat "$work/found"
