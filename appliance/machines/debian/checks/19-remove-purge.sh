# Removal stops the units and leaves no kit process; the published state
# and readings go with the programs.  Purge leaves no file of the kit anywhere.
export DEBIAN_FRONTEND=noninteractive
packages="hwkit hwkit-sensors liblampio-jni:amd64 liblampio-jni:i386 libhostexec-jni:i386"
# shellcheck disable=SC2086
dpkg -L $packages | sort -u >files
kit_processes() { pgrep -a -f 'psumon|regpeek|regpoke' | grep -v pgrep; }
apt-get remove -y -q hwkit >apt.log 2>&1 || { cat apt.log; exit 1; }
for unit in psumon-watch.service psumon-textfile.timer psumon-textfile.service; do
    echo "after remove: $unit $(systemctl is-active $unit)"
done
kit_processes || echo "after remove: no kit process"
[ -e /var/lib/prometheus/node-exporter/psumon.prom ] || echo "after remove: no psumon.prom"
apt-get remove -y -q hwkit-sensors >apt.log 2>&1 || { cat apt.log; exit 1; }
echo "after remove: sensors-export.timer $(systemctl is-active sensors-export.timer)"
[ -e /var/lib/prometheus/node-exporter/sensors.prom ] || echo "after remove: no sensors.prom"
# shellcheck disable=SC2086
apt-get purge -y -q $packages >apt.log 2>&1 || { cat apt.log; exit 1; }
for p in $packages; do
    dpkg-query -W -f '${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^ii' && echo "after purge: $p installed"
done
kit_processes || echo "after purge: no kit process"
{
while read -r f; do
    [ -e "$f" ] && [ ! -d "$f" ] && echo "$f"
done <files
[ -e /run/lock/hwkit-ports.lock ] && echo /run/lock/hwkit-ports.lock
find / -xdev \( -path /srv -o -path /proc -o -path /sys -o -path /var/log/journal -o -path /run/log \) -prune -o \
    \( -name '*psumon*' -o -name '*hwkit*' -o -name '*lampio*' -o -name '*hostexec*' -o -name '*sensors-export*' -o -name sensors.prom \) -print |
    grep -v -x -e /etc/apt/sources.list.d/hwkit.list -e /etc/apt/sources.list.d/hwkit-upgrade.list \
        -e /etc/modprobe.d/hwkit-appliance.conf -e /etc/systemd/system/hwkit-appliance-checks.service \
        -e /etc/systemd/system/multi-user.target.wants/hwkit-appliance-checks.service \
        -e '/var/lib/apt/lists/_srv_hwkit_.*'
} >left
[ -s left ] && sed 's/^/after purge: left /' left || echo "after purge: no file left"
