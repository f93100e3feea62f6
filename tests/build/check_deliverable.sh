#!/bin/sh
# Checks a built deliverable as a distribution would: hardened, and linked
# against the real hardware backend only.
# usage: check_deliverable.sh FILE program|library
set -u
file=$1 kind=$2
fail=0
bad() { echo "FAIL: $file: $*"; fail=1; }

headers=$(readelf -W -h -l -d "$file") || exit 1
case $kind in
program) echo "$headers" | grep -q 'Type:.*DYN' || bad "not a position-independent executable" ;;
esac
echo "$headers" | grep -q 'GNU_RELRO' || bad "no RELRO segment"
echo "$headers" | grep -q 'BIND_NOW' || bad "not linked with -z now (full RELRO)"
echo "$headers" | grep 'GNU_STACK' | grep -q 'RWE' && bad "executable stack"

symbols=$(nm -D "$file" 2>/dev/null; nm "$file" 2>/dev/null)
echo "$symbols" | grep -q '__stack_chk_fail' || bad "no stack protector"
echo "$symbols" | grep -v '__stack_chk' | grep -q -E '__[a-z]+_chk' || bad "not fortified"

# Nothing of the simulated appliance may be inside.
if strings "$file" | grep -q 'HWSIM_'; then bad "contains the simulator"; fi
if echo "$symbols" | grep -q -E 'hwsim|scenario_parse|bmc_ioctl'; then bad "links simulator code"; fi

# Only the C library (and, for i386, its loader) at run time.
needed=$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for lib in $needed; do
    case $lib in
    libc.so.6) ;;
    *) bad "needs $lib" ;;
    esac
done

[ $fail -eq 0 ] && echo "ok: $file"
exit $fail
