# The sensor readings for the fleet: sensors-export.timer enabled, its
# service (no capability, no device) reads the NVMe drive's hwmon chip
# through libsensors and writes sensors.prom, which the node exporter serves
# with no textfile error; the exposure systemd-analyze security gives it.
systemctl enable -q --now sensors-export.timer
echo "sensors-export.timer: $(systemctl is-enabled sensors-export.timer) $(systemctl is-active sensors-export.timer)"
tries=0
until [ -s /var/lib/prometheus/node-exporter/sensors.prom ] || [ $tries -ge 300 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
echo "sensors-export.service: $(systemctl show -p Result --value sensors-export.service)"
bash -c 'exec 3<>/dev/tcp/127.0.0.1/9100 && printf "GET /metrics HTTP/1.0\r\n\r\n" >&3 && tr -d "\r" <&3' >metrics
grep -E '^hwkit_sensor_(temperature_celsius|alarm)\{chip="nvme-pci-0100"|^node_textfile_scrape_error' metrics
systemd-analyze security --no-pager sensors-export.service |
    sed -n 's/^→ Overall exposure level for \([^:]*\): \([0-9.]*\) .*/\1: exposure \2/p'
