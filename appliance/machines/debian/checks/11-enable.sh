# The operator's step: the Super-I/O stand-in set to state 0x30 (a UART's
# modem status register in loopback: modem control 0x13), then
# "systemctl enable --now" of the watch and the timer; both active, the
# timer's service run; the exposure that systemd-analyze security gives
# each service on the running system.
appliance-ioport outb 0x2d 0x13
systemctl enable --now psumon-watch.service psumon-textfile.timer 2>&1 | sed 's/^Created symlink .* → /enabled → /'
for unit in psumon-watch.service psumon-textfile.timer; do
    echo "$unit: $(systemctl is-enabled $unit) $(systemctl is-active $unit)"
done
tries=0
until [ -s /var/lib/prometheus/node-exporter/psumon.prom ] || [ $tries -ge 300 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
grep '^hwkit_psu_state' /var/lib/prometheus/node-exporter/psumon.prom
for unit in psumon-watch.service psumon-textfile.service; do
    systemd-analyze security --no-pager "$unit" | sed -n 's/^→ Overall exposure level for \([^:]*\): \([0-9.]*\) .*/\1: exposure \2/p'
done
