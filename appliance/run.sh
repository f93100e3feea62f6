#!/bin/sh
# Boots the virtual appliance's machines under QEMU, all at once, runs their
# checks inside the guests, and judges them on the host: one line per check,
# then "N passed, N failed".  Status 0 only when every check passed, 77 when
# there is no image because Debian's registry could not be reached.
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
#   checks/NN-what.expected  its output and "@@status N", byte for byte (lines
#                            beginning "@@report " are shown, not judged)
#   checks/NN-what.host      if present, run on the host after the boot, in
#                            the run's folder (io.trace, captured ports,
#                            bmc.log); passes when it exits 0
#   debian-root     if present, the machine boots the Debian appliance's disk
#                   (appliance/debian/make-root.sh, in DIR/debian) instead of
#                   the initramfs; it is booted only when named
#   host-start      if present, run on the host before the boot, in the run's
#                   folder, with APPLIANCE (DIR) and MACHINE (its folder) in
#                   the environment; a number it leaves in the file "port"
#                   stands for @PORT@ in qemu-args
#   host-stop       if present, run on the host after the checks were judged
set -u
usage="usage: $0 DIR BMC [--show] [MACHINE...]"
[ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
dir=$(cd "$1" && pwd) || exit 2
bmc=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
show=false
if [ "${1:-}" = --show ]; then show=true; shift; fi

# The run's folder goes into QEMU's options unquoted and through sed.
case $dir in
*[!A-Za-z0-9/._+-]*) echo "appliance: $dir: use a build folder whose path has no blanks or special characters" >&2; exit 2 ;;
esac

# The selftest machines check the runner itself; they and the Debian
# appliance are booted only when named.
machines=""
if [ $# -eq 0 ]; then
    for m in "$here"/machines/*/; do
        [ -f "$m/debian-root" ] && continue
        case $(basename "$m") in selftest*) ;; *) machines="$machines $(basename "$m")" ;; esac
    done
fi
for m in "$@"; do
    case $m in -*) echo "$usage" >&2; exit 2 ;; esac
    case " $machines " in *" $m "*) ;; *) machines="$machines $m" ;; esac
done
for m in $machines; do
    if [ ! -f "$here/machines/$m/qemu-args" ]; then
        echo "appliance: no machine $m (machines/$m/qemu-args)" >&2
        exit 2
    fi
done

# No image where the kernel package could not be had: skipped (status 77).
for m in $machines; do
    unreachable=$dir/packages/unreachable
    [ -f "$here/machines/$m/debian-root" ] && [ -f "$dir/debian/unreachable" ] && unreachable=$dir/debian/unreachable
    if [ -f "$unreachable" ]; then
        echo "appliance: skipped: $(cat "$unreachable")"
        exit 77
    fi
done

# The guest runs the checks packed into its image: they must be the ones here.
if [ "$(cat "$dir/inputs.sum" 2>/dev/null)" != "$("$here/make-image.sh" --inputs-sum)" ]; then
    echo "appliance: the image in $dir was made from other checks than those in $here; remake it:" >&2
    echo "    cmake --build <build folder> --target appliance_image" >&2
    exit 2
fi

# Emulation by default: KVM, where a machine has a working one, only on request.
accel=${APPLIANCE_ACCEL:-tcg}
boot_timeout=${APPLIANCE_BOOT_TIMEOUT:-100}
debian_timeout=${APPLIANCE_DEBIAN_TIMEOUT:-600}

host_stop() {
    if [ -f "$here/machines/$1/host-stop" ] && [ -d "$dir/runs/$1" ]; then
        (cd "$dir/runs/$1" && APPLIANCE=$dir MACHINE=$here/machines/$1 sh "$here/machines/$1/host-stop") \
            >>"$dir/runs/$1/host-stop.log" 2>&1
    fi
}

# Interrupted (by hand, or by ctest at its timeout): the machines and BMCs
# of this run go too.
stop_everything() {
    for m in $machines; do
        for f in "$dir/runs/$m/qemu.pid" "$dir/runs/$m/bmc.pid"; do
            [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null
        done
        host_stop "$m"
    done
    exit 130
}
trap stop_everything INT TERM

# WHY the machine of boot() is not booted: noted for the verdicts, its BMC
# stopped and its sockets' folder removed.
not_booted() {
    echo "$1" >"$run/boot.error"
    if [ -n "$bmc_pid" ]; then kill "$bmc_pid" 2>/dev/null; fi
    rm -rf "$sockets"
}

boot() {
    machine=$1
    run=$dir/runs/$machine
    rm -rf "$run"
    mkdir -p "$run"
    truncate -s 16M "$run/nvme.img"
    # A socket's path has room for 107 bytes: it goes where the path is short.
    sockets=$(mktemp -d /tmp/hwkit-appliance.XXXXXX)
    bmc_pid=""
    if [ -f "$here/machines/$machine/bmc-scenario" ]; then
        "$bmc" "$sockets/bmc" "$here/machines/$machine/bmc-scenario" "$run/bmc.log" 2>"$run/bmc.err" &
        bmc_pid=$!
        echo "$bmc_pid" >"$run/bmc.pid"
        tries=0
        while [ ! -S "$sockets/bmc" ] && kill -0 "$bmc_pid" 2>/dev/null && [ $tries -lt 200 ]; do
            sleep 0.05
            tries=$((tries + 1))
        done
        if [ ! -S "$sockets/bmc" ]; then
            not_booted "the BMC did not start"
            return
        fi
    fi
    if [ -f "$here/machines/$machine/host-start" ] &&
        ! (cd "$run" && APPLIANCE=$dir MACHINE=$here/machines/$machine sh "$here/machines/$machine/host-start") \
            >"$run/host-start.log" 2>&1; then
        not_booted "its host-start failed: $(tail -n 5 "$run/host-start.log")"
        return
    fi
    port=$(cat "$run/port" 2>/dev/null) || port=""
    sed -e "s|@RUN@|$run|g" -e "s|@BMC@|$sockets/bmc|g" -e "s|@PORT@|$port|g" \
        "$here/machines/$machine/qemu-args" >"$run/qemu-args"
    # The initramfs machines print their checks on the serial console; the
    # Debian appliance boots its own disk (each boot from the image as made)
    # and prints them on a virtio port of their own.
    if [ -f "$here/machines/$machine/debian-root" ]; then
        debian=$dir/debian
        if [ ! -s "$debian/root.img" ]; then
            not_booted "no Debian root in $debian (appliance/debian/make-root.sh)"
            return
        fi
        set -- "$debian_timeout" -m 1024 -smp 2 -serial null \
            -kernel "$debian/vmlinuz" -initrd "$debian/initrd.img" \
            -append "root=LABEL=hwkit-root rw panic=-1 quiet loglevel=1 systemd.show_status=0" \
            -drive "file=$debian/root.img,if=virtio,format=raw,snapshot=on" \
            -chardev "file,id=checks,path=$run/checks.raw" -device virtio-serial-pci \
            -device virtserialport,chardev=checks,name=hwkit.checks
    else
        set -- "$boot_timeout" -m 256 -serial stdio \
            -kernel "$dir/packages/vmlinux" -initrd "$dir/initramfs.cpio" \
            -append "console=ttyS0 panic=-1 quiet loglevel=1 hwkit.machine=$machine"
    fi
    limit=$1
    shift
    # shellcheck disable=SC2046
    timeout "$limit" qemu-system-x86_64 -accel "$accel" -nodefaults -no-user-config \
        -display none -no-reboot -device isa-debug-exit,iobase=0xf4,iosize=0x04 \
        "$@" $(cat "$run/qemu-args") </dev/null >"$run/console.raw" 2>"$run/qemu.err" &
    echo $! >"$run/qemu.pid"
    wait $!
    echo $? >"$run/qemu.status"
    if [ -f "$run/checks.raw" ]; then
        tr -d '\r' <"$run/checks.raw" >"$run/console"
    else
        tr -d '\r' <"$run/console.raw" >"$run/console"
    fi
    if [ -n "$bmc_pid" ]; then
        kill "$bmc_pid" 2>/dev/null
        wait "$bmc_pid"
    fi
    rm -rf "$sockets"
}

# The text a check printed in the guest, with its status line; lines that
# begin "@@report " are figures to show, not to judge, and stay out of it.
check_output() {
    awk -v name="$2" '$0 == "@@end " name { inside = 0 } inside && !/^@@report / { print } $0 == "@@begin " name { inside = 1 }' "$1"
}
check_reports() {
    awk -v name="$2" '$0 == "@@end " name { inside = 0 } inside && /^@@report / { print substr($0, 10) } $0 == "@@begin " name { inside = 1 }' "$1"
}

start=$(date +%s)
for machine in $machines; do
    boot "$machine" &
done
wait

passed=0
failed=0
count=0
for machine in $machines; do
    count=$((count + 1))
    run=$dir/runs/$machine
    booted=true
    if [ -f "$run/boot.error" ]; then
        booted=false
        echo "machine $machine: $(cat "$run/boot.error"):"
        [ -f "$run/bmc.err" ] && sed 's/^/    /' "$run/bmc.err"
    elif [ "$(cat "$run/qemu.status")" != 1 ] || ! grep -qx '@@done' "$run/console"; then
        booted=false
        echo "machine $machine did not finish its checks (QEMU status $(cat "$run/qemu.status")):"
        tail -n 30 "$run/console" "$run/qemu.err" | sed 's/^/    /'
        [ -s "$run/bmc.err" ] && sed 's/^/    BMC: /' "$run/bmc.err"
    fi
    if grep -q '^@@error' "$run/console" 2>/dev/null; then
        grep '^@@error' -A 20 "$run/console" | sed 's/^/    /'
    fi
    checks=0
    for check in "$here/machines/$machine/checks/"*.sh; do
        [ -f "$check" ] || continue
        checks=$((checks + 1))
        name=$(basename "$check" .sh)
        base=${check%.sh}
        check_output "$run/console" "$name" >"$run/$name.out" 2>/dev/null
        verdict=pass
        why=""
        if ! $booted; then
            verdict=FAIL
        elif [ ! -f "$base.expected" ]; then
            verdict=FAIL
            echo "no $name.expected" >"$run/$name.diff"
            why=$run/$name.diff
        elif ! diff -u "$base.expected" "$run/$name.out" >"$run/$name.diff"; then
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
        check_reports "$run/console" "$name" | sed 's/^/    report: /'
        if $show; then
            sed -n 's/^# \{0,1\}/  # /p' "$check"
            sed 's/^/    /' "$run/$name.out"
            [ -s "$run/$name.host.out" ] && sed 's/^/    host: /' "$run/$name.host.out"
        fi
        if [ -n "$why" ]; then sed 's/^/    /' "$why"; fi
    done
    if [ $checks -eq 0 ]; then
        echo "FAIL $machine: no checks"
        failed=$((failed + 1))
    fi
    host_stop "$machine"
done
echo "appliance: $count machines in $(($(date +%s) - start)) s under $accel"
echo "$passed passed, $failed failed"
[ $failed -eq 0 ] && [ $passed -gt 0 ]
