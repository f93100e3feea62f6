# The journal of the watch: what the watch itself logged at info priority
# (the journal keeps no trailing blank); after the stand-in's state changes
# from 0x30 to 0xF0 (modem control 0x1F), exactly the change line at
# warning priority or above.  Then the port lock held by another process for
# 5 s: psumon's own message (it reads without the lock after 2 s) at error
# priority.
journal() {
    journalctl -q -u psumon-watch.service -o cat "$@" | sed -e 's/(count=[0-9]*)$/(count=N)/' -e 's/by process [0-9]*/by process N/'
}
journalctl -q _SYSTEMD_UNIT=psumon-watch.service -o cat -p info
appliance-ioport outb 0x2d 0x1f
tries=0
until journal -p warning | grep -q 'state is changed' || [ $tries -ge 200 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
echo "-- warning and above:"
journal -p warning
perl -MFcntl -e 'open(my $f, "+<", "/run/lock/hwkit-ports.lock") or die "open: $!\n";
    fcntl($f, F_SETLKW, pack("s s x4 q q l x4", F_WRLCK, SEEK_SET, 0, 0, 0)) or die "lock: $!\n";
    sleep 5'
sleep 1
echo "-- error and above:"
journal -p err | sort -u
