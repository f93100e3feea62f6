# An upgrade with apt to the same tree built with a higher version: the
# watch and the timer, enabled, run again afterwards, the watch with a new
# process whose psumon is the upgraded program (not a deleted file), still
# enabled.
export DEBIAN_FRONTEND=noninteractive
upgrade=$(sed -n 2p /srv/hwkit/repo/versions)
show() { systemctl show -p "$1" --value psumon-watch.service; }
before=$(show MainPID)
echo 'deb [trusted=yes] file:/srv/hwkit/repo/upgrade ./' >/etc/apt/sources.list.d/hwkit-upgrade.list
apt-get update -q >apt.log 2>&1 || { cat apt.log; exit 1; }
apt-get install -y -q hwkit hwkit-sensors >apt.log 2>&1 || { cat apt.log; exit 1; }
dpkg-query -W -f '${Package} ${Version}\n' hwkit hwkit-sensors | sed "s/ $upgrade$/ upgraded/"
for unit in psumon-watch.service psumon-textfile.timer; do
    echo "$unit: $(systemctl is-enabled $unit) $(systemctl is-active $unit)"
done
tries=0
until psumon=$(pgrep -x -P "$(show MainPID)" psumon) || [ $tries -ge 100 ]; do sleep 0.1; tries=$((tries + 1)); done
echo "watch: new process $([ "$(show MainPID)" != "$before" ] && echo yes), psumon runs $(readlink "/proc/$psumon/exe")"
systemctl start psumon-textfile.service
echo "psumon-textfile.service: $(systemctl show -p Result --value psumon-textfile.service)"
