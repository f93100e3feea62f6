#!/bin/sh
# The appliance runner judges for real: on a machine whose checks pass, fail
# by output, by status and by the host's verdict it reports each as such and
# fails; a machine that does not finish fails every check.
# usage: runner_test.sh RUN.SH DIR BMC
set -u
run=$1 dir=$2 bmc=$3
failures=0

expect() {
    if [ "$1" != "$2" ]; then
        printf 'expected:\n%s\ngot:\n%s\n' "$2" "$1"
        failures=$((failures + 1))
    fi
}

out=$("$run" "$dir" "$bmc" selftest-judge)
status=$?
expect "$(echo "$out" | grep -e '^pass' -e '^FAIL' -e 'passed,')" "pass selftest-judge/10-pass
FAIL selftest-judge/20-wrong-output
FAIL selftest-judge/30-wrong-status
FAIL selftest-judge/40-host-disagrees
1 passed, 3 failed"
expect "$status" 1
echo "$out" | grep -q '^    +actual$' || { echo "no difference shown:"; echo "$out"; failures=$((failures + 1)); }
echo "$out" | grep -q '^    the host disagrees$' || { echo "no host verdict shown"; failures=$((failures + 1)); }

out=$(APPLIANCE_BOOT_TIMEOUT=1 "$run" "$dir" "$bmc" selftest-judge)
status=$?
expect "$(echo "$out" | grep -e 'did not finish' -e 'passed,')" "machine selftest-judge did not finish its checks (QEMU status 124):
0 passed, 4 failed"
expect "$status" 1
[ $failures -eq 0 ]
