# A BMC that appears late: the watch runs, and only then is the interface
# driver (ipmi_si) loaded and /dev/ipmi0 made.  A reader in the watch's own
# control group and mount namespace (the device rules and the read-only
# /dev the watch has) reads the BMC through the new node, the watch not
# restarted.  A unit that allows /dev/ipmi0 by its name, started before the
# node was there, stays shut out.
show() { systemctl show -p "$1" --value "$2"; }
systemd-run -q --unit=hwkit-by-name -p DevicePolicy=closed -p "DeviceAllow=/dev/ipmi0 rw" sleep 600 2>/dev/null
pid=$(show MainPID psumon-watch.service)
restarts=$(show NRestarts psumon-watch.service)
[ -e /dev/ipmi0 ] || echo "no /dev/ipmi0 yet"
modprobe ipmi_si
tries=0
until [ -e /dev/ipmi0 ] || [ $tries -ge 300 ]; do sleep 0.1; tries=$((tries + 1)); done
echo "/dev/ipmi0: $(stat -c %F /dev/ipmi0)"
# Runs COMMAND... in the control group and the mount namespace of process $1.
inside() {
    cgroup=/sys/fs/cgroup$(cut -d : -f 3 "/proc/$1/cgroup")
    sh -c 'echo $$ >"$1/cgroup.procs" && target=$2 && shift 2 && exec nsenter -t "$target" -m "$@"' sh "$cgroup" "$@"
}
echo "-- in psumon-watch.service:"
inside "$pid" appliance-ipmi-readers x11ds
echo "-- in a unit that allows /dev/ipmi0 by name:"
inside "$(show MainPID hwkit-by-name.service)" sh -c 'exec 3</dev/ipmi0 && echo opened' 2>&1 | sed 's/^[^:]*: [0-9]*: //'
systemctl stop hwkit-by-name.service
echo "watch: same process $([ "$(show MainPID psumon-watch.service)" = "$pid" ] && echo yes), restarts $(($(show NRestarts psumon-watch.service) - restarts))"
