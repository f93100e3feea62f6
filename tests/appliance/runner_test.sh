#!/bin/sh
# The appliance runner judges for real: on a machine whose checks pass, fail
# by output, by status, by the host's verdict or lack an expected output it
# reports each as such and fails; a machine that does not finish fails every
# check; unknown machines and an image made from other checks are refused.
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
[ $status -eq 77 ] && { echo "$out"; exit 77; }
expect "$(echo "$out" | grep -e '^pass' -e '^FAIL' -e 'passed,')" "pass selftest-judge/10-pass
FAIL selftest-judge/20-wrong-output
FAIL selftest-judge/30-wrong-status
FAIL selftest-judge/40-host-disagrees
FAIL selftest-judge/50-no-expected
1 passed, 4 failed"
expect "$status" 1
for shown in '    +actual' '    +@@status 3' '    the host disagrees' '    no 50-no-expected.expected'; do
    echo "$out" | grep -qxF -e "$shown" || { echo "not shown: $shown"; failures=$((failures + 1)); }
done

out=$(APPLIANCE_BOOT_TIMEOUT=1 "$run" "$dir" "$bmc" selftest-judge)
status=$?
expect "$(echo "$out" | grep -e 'did not finish' -e 'passed,')" "machine selftest-judge did not finish its checks (QEMU status 124):
0 passed, 5 failed"
expect "$status" 1

out=$("$run" "$dir" "$bmc" selftest-judge no-such-machine 2>&1)
expect "$? $out" "2 appliance: no machine no-such-machine (machines/no-such-machine/qemu-args)"
out=$("$run" "$dir" "$bmc" selftest-judge --show 2>&1)
expect "$? $out" "2 usage: $run DIR BMC [--show] [MACHINE...]"

# A copy of the appliance whose check differs from the one in the image.
copy=$(mktemp -d)
cp -R "$(dirname "$run")/." "$copy"
echo 'echo changed' >>"$copy/machines/selftest-judge/checks/10-pass.sh"
out=$("$copy/run.sh" "$dir" "$bmc" selftest-judge 2>&1)
expect "$? $(echo "$out" | head -n 1)" "2 appliance: the image in $dir was made from other checks than those in $copy; remake it:"
rm -rf "$copy"
[ $failures -eq 0 ]
