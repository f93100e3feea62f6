# The kit's five packages installed with apt from the local repository: as
# built, the units present but neither enabled nor running, the port lock
# made, the IPMI device interface loaded for the units to come.
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >apt.log 2>&1 || { cat apt.log; exit 1; }
apt-get install -y -q hwkit hwkit-sensors liblampio-jni:amd64 liblampio-jni:i386 libhostexec-jni:i386 >apt.log 2>&1 ||
    { cat apt.log; exit 1; }
first=$(sed -n 1p /srv/hwkit/repo/versions)
dpkg-query -W -f '${Package}:${Architecture} ${Version} ${db:Status-Abbrev}\n' hwkit hwkit-sensors \
    liblampio-jni:amd64 liblampio-jni:i386 libhostexec-jni:i386 | sed "s/ $first / VERSION /"
for unit in psumon-watch.service psumon-textfile.service psumon-textfile.timer sensors-export.service sensors-export.timer; do
    echo "$unit: $(systemctl is-enabled $unit) $(systemctl is-active $unit)"
done
stat -c '%n %A %U' /run/lock/hwkit-ports.lock
lsmod | awk '$1 == "ipmi_devintf" { print "ipmi_devintf loaded" }'
grep -w ipmidev /proc/devices | sed 's/^ *[0-9]* /major of /'
