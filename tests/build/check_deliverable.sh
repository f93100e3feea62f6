#!/bin/sh
# Checks a built deliverable as a distribution would: hardened, linked against
# the real hardware backend only, and of the expected architecture and shape.
# usage: check_deliverable.sh FILE program|library
# environment: EXPECT_CLASS (ELF32, ELF64), EXPECT_MACHINE (readelf's words),
#   EXPECT_NEEDED (the shared libraries it may need; default libc.so.6),
#   for libraries EXPECT_SONAME (empty for none) and EXPECT_EXPORT (the one
#   symbol a JNI library exports), and EXPECT_PORT (an I/O port the code
#   must name, as 0x378)
set -u
file=$1 kind=$2
fail=0
bad() { echo "FAIL: $file: $*"; fail=1; }

headers=$(readelf -W -h -l -d "$file") || exit 1
echo "$headers" | grep -q "Class: *${EXPECT_CLASS:?}\$" || bad "not $EXPECT_CLASS"
echo "$headers" | grep -q "Machine: *${EXPECT_MACHINE:?}\$" || bad "not $EXPECT_MACHINE"
echo "$headers" | grep -q 'Type:.*DYN' || bad "not position-independent"
echo "$headers" | grep -q 'GNU_RELRO' || bad "no RELRO segment"
echo "$headers" | grep -q 'BIND_NOW' || bad "not linked with -z now (full RELRO)"
echo "$headers" | grep 'GNU_STACK' | grep -q 'RWE' && bad "executable stack"

dynamic=$(nm -D "$file" 2>/dev/null)
all_symbols=$(nm "$file" 2>/dev/null; echo "$dynamic")
if [ "$kind" = program ]; then
    # the compile flags are checked from the build; here what they left behind
    echo "$dynamic" | grep -q '__stack_chk_fail' || bad "no stack protector"
    echo "$dynamic" | grep -v '__stack_chk' | grep -q -E '__[a-z]+_chk' || bad "not fortified"
fi

# Nothing of the simulated appliance may be inside.
strings "$file" | grep -q 'HWSIM_' && bad "contains the simulator"
echo "$all_symbols" | grep -q -E 'hwsim|scenario_parse|bmc_ioctl' && bad "links simulator code"

# Only the C library (and what the deliverable is built on) at run time.
for lib in $(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    case " ${EXPECT_NEEDED:-libc.so.6} " in
    *" $lib "*) ;;
    *) bad "needs $lib" ;;
    esac
done

if [ "$kind" = library ]; then
    soname=$(readelf -d "$file" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    [ "$soname" = "${EXPECT_SONAME?}" ] || bad "soname '$soname', expected '${EXPECT_SONAME}'"
    exports=$(nm -D --defined-only "$file" | awk '{print $3}')
    [ "$exports" = "${EXPECT_EXPORT:?}" ] || bad "exports '$exports', expected only '$EXPECT_EXPORT'"
    if [ -n "${EXPECT_PORT:-}" ]; then
        objdump -d "$file" | grep -q "\$$EXPECT_PORT\b" || bad "never names port $EXPECT_PORT"
    fi
fi

[ $fail -eq 0 ] && echo "ok: $file"
exit $fail
