#!/bin/sh
# The image's resolver reads what a file needs from ELF headers and runs
# nothing: copies of the i386 and x86-64 harnesses and of sensors, stripped
# of execute permission, resolve to their loaders and libraries, those of
# the libraries included; a library of the other class in the run path does
# not count, and a library found nowhere stops it with its name.  Run paths
# act as the loader's do: the executable's DT_RPATH also serves the needs of
# its libraries, unless a library has a DT_RUNPATH of its own, and its
# DT_RUNPATH serves only its own needs.  The programs of our own lie in a
# folder whose name holds blanks and an ampersand.
# usage: elf_needs_test.sh ELF-NEEDS.SH HARNESS-I386 HARNESS-X86_64 SENSORS
set -u
resolver=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# shellcheck source=../support/expect.sh
. "$(dirname "$0")/../support/expect.sh"

resolved() {
    cp "$1" "$tmp/file"
    chmod 0644 "$tmp/file"
    "$resolver" "$tmp/file" 2>&1
    echo "status $?"
}

expect "i386 harness" "/lib/ld-linux.so.2
/lib32/libc.so.6
/lib32/ld-linux.so.2
status 0" "$(resolved "$2")"
expect "x86-64 harness" "/lib64/ld-linux-x86-64.so.2
/lib/x86_64-linux-gnu/libc.so.6
/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2
status 0" "$(resolved "$3")"
expect "sensors, with what libsensors needs" "/lib64/ld-linux-x86-64.so.2
/lib/x86_64-linux-gnu/libsensors.so.5
/lib/x86_64-linux-gnu/libc.so.6
/lib/x86_64-linux-gnu/libm.so.6
/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2
status 0" "$(resolved "$4")"

# A library of our own beside each program, found through its run path.
dir="$tmp/odd  name & co"
mkdir -p "$dir/lib64" "$dir/lib32"
echo 'int gone(void) { return 0; }' >"$tmp/gone.c"
echo 'int gone(void); int main(void) { return gone(); }' >"$tmp/main.c"
for bits in 64 32; do
    gcc -m$bits -shared -fPIC -Wl,-soname,libhwkit-gone.so.1 -o "$dir/lib$bits/libhwkit-gone.so.1" "$tmp/gone.c" &&
        gcc -m$bits -o "$dir/main$bits" "$tmp/main.c" "$dir/lib$bits/libhwkit-gone.so.1" \
            -Wl,--enable-new-dtags,-rpath,"\$ORIGIN/lib$bits" || exit 1
done
expect "run path" "$dir/lib64/libhwkit-gone.so.1" "$("$resolver" "$dir/main64" | grep gone)"
mv "$dir/lib64/libhwkit-gone.so.1" "$dir/lib32/"
expect "a library found nowhere" "elf-needs: $dir/main64 needs libhwkit-gone.so.1, which is in none of: \
$dir/lib64 /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu
status 1" "$("$resolver" "$dir/main64" 2>&1 >/dev/null; echo "status $?")"
mv "$dir/lib32/libhwkit-gone.so.1" "$dir/lib64/"
ln -s ../lib64/libhwkit-gone.so.1 "$dir/lib32/libhwkit-gone.so.1"
expect "an x86-64 library for an i386 program" "elf-needs: $dir/main32 needs libhwkit-gone.so.1, which is in none of: \
$dir/lib32 /lib32 /usr/lib32 /lib/i386-linux-gnu /usr/lib/i386-linux-gnu
status 1" "$("$resolver" "$dir/main32" 2>&1 >/dev/null; echo "status $?")"

# A program that needs libhwkit-a, which needs libhwkit-b; each library in
# its own folder, both named in the program's run path only.
mkdir "$dir/a" "$dir/b"
echo 'int b(void) { return 0; }' >"$tmp/b.c"
echo 'int b(void); int a(void) { return b(); }' >"$tmp/a.c"
echo 'int a(void); int main(void) { return a(); }' >"$tmp/main-a.c"
gcc -shared -fPIC -Wl,-soname,libhwkit-b.so.1 -o "$dir/b/libhwkit-b.so.1" "$tmp/b.c" || exit 1
library_a() {
    gcc -shared -fPIC -Wl,-soname,libhwkit-a.so.1 -o "$dir/a/libhwkit-a.so.1" "$tmp/a.c" \
        "$dir/b/libhwkit-b.so.1" "$@" || exit 1
}
program() {
    gcc -o "$dir/main-a" "$tmp/main-a.c" "$dir/a/libhwkit-a.so.1" -Wl,-rpath-link,"$dir/b" \
        -Wl,"$1,-rpath,\$ORIGIN/a:\$ORIGIN/b" || exit 1
}
library_a
program --disable-new-dtags
expect "the program's DT_RPATH for its library's needs" "$dir/a/libhwkit-a.so.1
$dir/b/libhwkit-b.so.1" "$("$resolver" "$dir/main-a" | grep hwkit)"
program --enable-new-dtags
expect "the program's DT_RUNPATH, not for its library's needs" "elf-needs: $dir/a/libhwkit-a.so.1 needs \
libhwkit-b.so.1, which is in none of: /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu
status 1" "$("$resolver" "$dir/main-a" 2>&1 >/dev/null; echo "status $?")"
library_a -Wl,--enable-new-dtags,-rpath,"\$ORIGIN"
program --disable-new-dtags
expect "the program's DT_RPATH, not for a library with a DT_RUNPATH" "elf-needs: $dir/a/libhwkit-a.so.1 needs \
libhwkit-b.so.1, which is in none of: $dir/a /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu
status 1" "$("$resolver" "$dir/main-a" 2>&1 >/dev/null; echo "status $?")"

[ $failures -eq 0 ]
