#!/bin/sh
# Every source of a plain build is compiled with the hardening a distribution
# uses: optimisation with _FORTIFY_SOURCE=2, the strong stack protector and
# position-independent code.
# usage: check_compile_flags.sh compile_commands.json
set -u
db=$1
commands=$(grep '"command"' "$db") || { echo "FAIL: no compile commands in $db"; exit 1; }
fail=0
for flag in -O2 -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wall -Wextra; do
    missing=$(echo "$commands" | grep -v -e " $flag " | head -n 3)
    [ -z "$missing" ] || { echo "FAIL: compiled without $flag:"; echo "$missing"; fail=1; }
done
missing=$(echo "$commands" | grep -v -E ' -fPI[CE] ' | head -n 3)
[ -z "$missing" ] || { echo "FAIL: compiled without -fPIC or -fPIE:"; echo "$missing"; fail=1; }
[ $fail -eq 0 ] && echo "ok: $(echo "$commands" | wc -l) compile commands"
exit $fail
