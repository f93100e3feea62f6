#!/bin/sh
# The image's resolver reads what a file needs from ELF headers and runs
# nothing: copies of the i386 and x86-64 harnesses and of sensors, stripped
# of execute permission, resolve to their loaders and libraries, those of
# the libraries included; a library of the other class in the run path does
# not count, and a library found nowhere stops it with its name.
# usage: elf_needs_test.sh ELF-NEEDS.SH HARNESS-I386 HARNESS-X86_64 SENSORS
set -u
resolver=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

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
mkdir -p "$tmp/lib64" "$tmp/lib32"
echo 'int gone(void) { return 0; }' >"$tmp/gone.c"
echo 'int gone(void); int main(void) { return gone(); }' >"$tmp/main.c"
for bits in 64 32; do
    gcc -m$bits -shared -fPIC -Wl,-soname,libhwkit-gone.so.1 -o "$tmp/lib$bits/libhwkit-gone.so.1" "$tmp/gone.c" &&
        gcc -m$bits -o "$tmp/main$bits" "$tmp/main.c" "$tmp/lib$bits/libhwkit-gone.so.1" \
            -Wl,--enable-new-dtags,-rpath,"\$ORIGIN/lib$bits" || exit 1
done
expect "run path" "$tmp/lib64/libhwkit-gone.so.1" "$("$resolver" "$tmp/main64" | grep gone)"
mv "$tmp/lib64/libhwkit-gone.so.1" "$tmp/lib32/"
expect "a library found nowhere" "elf-needs: $tmp/main64 needs libhwkit-gone.so.1, which is in none of: \
$tmp/lib64 /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu
status 1" "$("$resolver" "$tmp/main64" 2>&1 >/dev/null; echo "status $?")"
mv "$tmp/lib32/libhwkit-gone.so.1" "$tmp/lib64/"
rm "$tmp/lib32/libhwkit-gone.so.1"
ln -s ../lib64/libhwkit-gone.so.1 "$tmp/lib32/libhwkit-gone.so.1"
expect "an x86-64 library for an i386 program" "elf-needs: $tmp/main32 needs libhwkit-gone.so.1, which is in none of: \
$tmp/lib32 /lib32 /usr/lib32 /lib/i386-linux-gnu /usr/lib/i386-linux-gnu
status 1" "$("$resolver" "$tmp/main32" 2>&1 >/dev/null; echo "status $?")"

[ $failures -eq 0 ]
