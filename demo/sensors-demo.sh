#!/bin/sh
# The sensors report of the demo appliance's fixture tree, read by the real
# libsensors in a private mount namespace; as root and, where the kernel
# allows user namespaces, as a normal user.  Then the same chips as
# sensors-export gives them to Prometheus.
# usage: demo/sensors-demo.sh BUILD-DIR
set -u
build=$(cd "${1:?usage: $0 BUILD-DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../tests/sensors/fixture-run.sh

show() {
    printf '$ sensors %s\n' "$*"
    LC_ALL=C.UTF-8 "$run" "$here/appliance.hw" "$here/sensors.conf" "$build/sensors/sensors" "$@" 2>&1
    printf '(exit status %d)\n\n' $?
}

printf '== Hardware monitors (fixture tree, real libsensors) ==\n'
sed -n 's/^# \{0,1\}/  /p' "$here/appliance.hw"
echo
show
show -f nct6775-isa-0290
show --bus-list
show -u lm75-*

# User nobody runs copies in /tmp: the tree may be in a folder only root can
# enter (a clone in /root).
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    printf '$ sensors -A lm75-*     # as user nobody, through a user namespace\n'
    copy=$(mktemp -d)
    cp "$run" "$here/appliance.hw" "$here/sensors.conf" "$build/sensors/sensors" "$copy/"
    chmod -R a+rX "$copy"
    if out=$(cd / && LC_ALL=C.UTF-8 setpriv --reuid=65534 --regid=65534 --clear-groups -- \
        "$copy/fixture-run.sh" "$copy/appliance.hw" "$copy/sensors.conf" "$copy/sensors" -A 'lm75-*' 2>&1); then
        printf '%s\n\n' "$out"
    else
        printf '(this kernel gives a normal user no user namespace: %s)\n\n' "$out"
    fi
    rm -rf "$copy"
fi

# FILTER: sensors-export --prometheus over the tree, its output through the
# shell command FILTER (none: all of it); ARGS after FILTER go to sensors-export.
show_export() {
    filter=$1
    shift
    printf '$ sensors-export --prometheus%s%s\n' "${1:+ $*}" "${filter:+ | $filter}"
    out=$(LC_ALL=C.UTF-8 "$run" "$here/appliance.hw" "$here/sensors.conf" "$build/sensors/export/sensors-export" \
        --prometheus "$@" 2>&1)
    status=$?
    printf '%s\n' "$out" | sh -c "${filter:-cat}"
    printf '(exit status %d)\n\n' $status
}

printf '== The same monitors for Prometheus (sensors-export) ==\n'
echo "  The node exporter's hwmon names and chip ids, with hwkit_ for node_;"
echo "  chip_names gives each chip id the name that sensors prints."
echo
show_export "" 'lm75-*'
show_export "grep -e '^hwkit_hwmon_chip_names' -e 'sensor=\"fan2\"'"
