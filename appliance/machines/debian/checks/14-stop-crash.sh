# A stop is a clean end: the watch inactive, not failed.  Started again, and
# its psumon killed with SIGKILL: the watch fails and is back within its
# restart delay (10 s), with a new psumon.
show() { systemctl show -p "$1" --value psumon-watch.service; }
systemctl stop psumon-watch.service
echo "after stop: $(systemctl is-active psumon-watch.service), result $(show Result)"
systemctl start psumon-watch.service
psumon_pid() { pgrep -x -P "$(show MainPID)" psumon; }
tries=0
until first=$(psumon_pid) || [ $tries -ge 100 ]; do sleep 0.1; tries=$((tries + 1)); done
restarts=$(show NRestarts)
kill -KILL "$first"
killed=$(date +%s)
tries=0
until { second=$(psumon_pid) && [ "$second" != "$first" ]; } || [ $tries -ge 300 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
echo "@@report back $(($(date +%s) - killed)) s after psumon was killed"
[ $(($(date +%s) - killed)) -le 15 ] && echo "back within the restart delay"
echo "after SIGKILL: $(systemctl is-active psumon-watch.service), restarts $(($(show NRestarts) - restarts)), new psumon $([ -n "$second" ] && [ "$second" != "$first" ] && echo yes)"
