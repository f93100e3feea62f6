#!/bin/sh
# Runs a command with a fixture appliance's hwmon tree in place of the
# machine's, in a private mount namespace: tmpfs over /sys/class,
# /sys/devices and /sys/bus, the given file over /etc/sensors3.conf and an
# empty /etc/sensors.d. Nothing outside the namespace changes.
#
# usage: fixture-run.sh FIXTURE.hw SYSTEM-CONFIG PROGRAM [ARG]...
#
# A fixture file describes the tree, one statement per line (# comments):
#   adapter NR NAME...        /sys/class/i2c-adapter/i2c-NR/name
#   chip NAME BUS [DEVICE]    the next hwmon folder; BUS is i2c, platform, pci, spi,
#                             acpi, hid, scsi, or virtual (no device link)
#   ATTRIBUTE CONTENT...      a file of the last chip holding CONTENT and a newline
#   empty ATTRIBUTE           a file of the last chip holding nothing
#   mode ATTRIBUTE OCTAL      its permissions (default 0644)
#   dir ATTRIBUTE             a folder in the attribute's place
#   eio ATTRIBUTE             reading it fails with EIO
#   readonly ATTRIBUTE        its file is on a read-only mount: writing fails
# NAME and CONTENT take the backslash escapes of printf's %b (\n, \t, \\,
# \0NNN in octal), so that a fixture can hold any byte a driver might give.
# Chips are listed by the library in the order they appear here.
set -eu

# Root without the right to make a mount namespace (in a container) may
# still make one inside a user namespace, as every other user does.
if [ "${HWKIT_FIXTURE_NAMESPACE:-}" != 1 ]; then
    export HWKIT_FIXTURE_NAMESPACE=1
    if [ "$(id -u)" -eq 0 ] && unshare -m --propagation private true 2>/dev/null; then
        exec unshare -m --propagation private "$0" "$@"
    fi
    exec unshare -r -m --propagation private "$0" "$@"
fi
unset HWKIT_FIXTURE_NAMESPACE

fixture=$1 sysconf=$2 program=$3
shift 3

for d in /sys/class /sys/devices /sys/bus; do
    mount -t tmpfs fixture "$d"
done
mount -t tmpfs fixture /etc/sensors.d 2>/dev/null || true
mount --bind "$sysconf" /etc/sensors3.conf
mkdir -p /sys/class/hwmon /sys/class/i2c-adapter

# Stage the chips first: the library meets hwmon folders newest first, so they
# are moved into place in reverse order.
stage=$(mktemp -d /sys/bus/.stage-XXXXXX)
chips=0
chip=
late=$stage/late
: >"$late"

# In a function, so that splitting each line leaves the program's arguments alone.
build_tree() {
while IFS= read -r line || [ -n "$line" ]; do
    line=${line%%#*}
    set -f
    # shellcheck disable=SC2086
    set -- $line
    set +f
    [ $# -gt 0 ] || continue
    word=$1
    shift
    case $word in
    adapter)
        mkdir -p "/sys/class/i2c-adapter/i2c-$1"
        nr=$1
        shift
        printf '%b\n' "$*" >"/sys/class/i2c-adapter/i2c-$nr/name"
        ;;
    chip)
        chip=$stage/hwmon$chips
        chips=$((chips + 1))
        mkdir "$chip"
        printf '%b\n' "$1" >"$chip/name"
        if [ "$2" != virtual ]; then
            dev=/sys/devices/$2/$3
            mkdir -p "$dev" "/sys/bus/$2"
            ln -sfn "/sys/bus/$2" "$dev/subsystem"
            ln -s "$dev" "$chip/device"
        fi
        ;;
    empty) : >"$chip/$1" ;;
    mode) chmod "$2" "$chip/$1" ;;
    dir) mkdir "$chip/$1" ;;
    eio) echo "eio $((chips - 1)) $1" >>"$late" ;;
    readonly) echo "readonly $((chips - 1)) $1" >>"$late" ;;
    *) printf '%b\n' "$*" >"$chip/$word" ;;
    esac
done <"$fixture"
}
build_tree

n=$chips
while [ "$n" -gt 0 ]; do
    n=$((n - 1))
    mv "$stage/hwmon$n" /sys/class/hwmon/
done

# Mounts over single attributes once they are in place. Reading the memory of
# this very process at address 0 fails with EIO; the process becomes PROGRAM.
while read -r what nr attr; do
    f=/sys/class/hwmon/hwmon$nr/$attr
    [ -e "$f" ] || : >"$f"
    case $what in
    eio) mount --bind "/proc/$$/mem" "$f" ;;
    readonly) mount --bind "$f" "$f" && mount -o remount,bind,ro "$f" ;;
    esac
done <"$late"
rm -rf "$stage"

# The program runs as "sensors" would from the path, so that its messages name it so.
PATH=$(dirname "$program"):$PATH
exec "$(basename "$program")" "$@"
