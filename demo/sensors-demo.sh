#!/bin/sh
# The sensors report of the demo appliance's fixture tree, read by the real
# libsensors in a private mount namespace; as root and, where the kernel
# allows user namespaces, as a normal user.
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

if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    printf '$ sensors -A lm75-*     # as user nobody, through a user namespace\n'
    if out=$(LC_ALL=C.UTF-8 setpriv --reuid=65534 --regid=65534 --clear-groups -- \
        "$run" "$here/appliance.hw" "$here/sensors.conf" "$build/sensors/sensors" -A 'lm75-*' 2>&1); then
        printf '%s\n\n' "$out"
    else
        printf '(this kernel gives a normal user no user namespace: %s)\n\n' "$out"
    fi
fi
