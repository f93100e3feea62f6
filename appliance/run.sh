#!/bin/sh
# Boots the virtual appliance's machines under QEMU, all at once, runs their
# checks inside the guests, and judges them on the host: one line per check,
# then "N passed, N failed".  Status 0 only when every check passed.
#
# usage: appliance/run.sh DIR BMC [--show] [MACHINE...]
#   DIR   the build's appliance folder, made by make-image.sh
#   BMC   the appliance-bmc program
#   --show  also print what each check showed in the guest (the demo)
#
# A machine is a folder machines/NAME with
#   qemu-args       QEMU options, one per line; @RUN@ stands for the run's folder,
#                   @BMC@ for the BMC's socket
#   bmc-scenario    if present, our BMC answers the guest's IPMI requests
#   prepare.sh      if present, run in the guest before the checks
#   checks/NN-what.sh        run in the guest, in name order
#   checks/NN-what.expected  its output and "@@status N", byte for byte
#   checks/NN-what.host      if present, run on the host after the boot, in
#                            the run's folder (captured ports, bmc.log);
#                            passes when it exits 0
set -u
dir=$(cd "$1" && pwd)
bmc=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
show=false
if [ "${1:-}" = --show ]; then show=true; shift; fi
# The selftest machines check the runner itself; they are booted only when named.
if [ $# -eq 0 ]; then
    set --
    for m in "$here"/machines/*/; do
        case $(basename "$m") in selftest*) ;; *) set -- "$@" "$(basename "$m")" ;; esac
    done
fi

# Emulation by default: KVM, where a machine has a working one, only on request.
accel=${APPLIANCE_ACCEL:-tcg}
boot_timeout=${APPLIANCE_BOOT_TIMEOUT:-100}

boot() {
    machine=$1
    run=$dir/runs/$machine
    rm -rf "$run"
    mkdir -p "$run"
    truncate -s 16M "$run/nvme.img"
    # A socket's path has room for 107 bytes: it goes where the path is short.
    sockets=$(mktemp -d /tmp/hwkit-appliance.XXXXXX)
    if [ -f "$here/machines/$machine/bmc-scenario" ]; then
        "$bmc" "$sockets/bmc" "$here/machines/$machine/bmc-scenario" "$run/bmc.log" 2>"$run/bmc.err" &
        bmc_pid=$!
        tries=0
        while [ ! -S "$sockets/bmc" ] && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
    fi
    sed -e "s|@RUN@|$run|g" -e "s|@BMC@|$sockets/bmc|g" "$here/machines/$machine/qemu-args" >"$run/qemu-args"
    # shellcheck disable=SC2046
    timeout "$boot_timeout" qemu-system-x86_64 -accel "$accel" -m 256 -nodefaults -no-user-config \
        -display none -no-reboot -serial stdio \
        -device isa-debug-exit,iobase=0xf4,iosize=0x04 \
        -kernel "$dir/kernel/vmlinux" -initrd "$dir/initramfs.cpio" \
        -append "console=ttyS0 panic=-1 quiet hwkit.machine=$machine" \
        $(cat "$run/qemu-args") </dev/null >"$run/console.raw" 2>"$run/qemu.err"
    echo $? >"$run/qemu.status"
    tr -d '\r' <"$run/console.raw" >"$run/console"
    if [ -n "${bmc_pid:-}" ]; then
        kill "$bmc_pid" 2>/dev/null
        wait "$bmc_pid"
    fi
    rm -rf "$sockets"
}

# The text a check printed in the guest, with its status line.
check_output() {
    awk -v name="$2" '$0 == "@@end " name { inside = 0 } inside { print } $0 == "@@begin " name { inside = 1 }' "$1"
}

start=$(date +%s)
for machine in "$@"; do
    boot "$machine" &
done
wait

passed=0
failed=0
for machine in "$@"; do
    run=$dir/runs/$machine
    booted=true
    if [ "$(cat "$run/qemu.status")" != 1 ] || ! grep -qx '@@done' "$run/console"; then
        booted=false
        echo "machine $machine did not finish its checks (QEMU status $(cat "$run/qemu.status")):"
        tail -n 30 "$run/console" "$run/qemu.err" | sed 's/^/    /'
    fi
    if grep -q '^@@error' "$run/console"; then
        grep '^@@error' -A 20 "$run/console" | sed 's/^/    /'
    fi
    for check in "$here/machines/$machine/checks/"*.sh; do
        name=$(basename "$check" .sh)
        base=${check%.sh}
        check_output "$run/console" "$name" >"$run/$name.out"
        verdict=pass
        why=""
        if ! $booted; then
            verdict=FAIL
        elif [ -f "$base.expected" ] && ! diff -u "$base.expected" "$run/$name.out" >"$run/$name.diff"; then
            verdict=FAIL
            why=$run/$name.diff
        elif [ -f "$base.host" ] && ! (cd "$run" && sh "$base.host" >"$run/$name.host.out" 2>&1); then
            verdict=FAIL
            why=$run/$name.host.out
        fi
        if [ $verdict = pass ]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
        echo "$verdict $machine/$name"
        if $show; then
            sed -n 's/^# \{0,1\}/  # /p' "$check"
            sed 's/^/    /' "$run/$name.out"
        fi
        if [ -n "$why" ]; then sed 's/^/    /' "$why"; fi
    done
done
echo "appliance: $# machines in $(($(date +%s) - start)) s under $accel"
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
