# The sensor readings for the fleet: sensors-export.timer enabled, its
# service (no capability, no device) reads the NVMe drive's hwmon chip
# through libsensors and writes sensors.prom, which the node exporter serves
# with no textfile error; the node exporter's own hwmon collector, reading
# the same sysfs, gives that chip the same chip id, and each of its series
# is ours under hwkit_ with the same labels and value; the exposure
# systemd-analyze security gives the service.
systemctl enable -q --now sensors-export.timer
echo "sensors-export.timer: $(systemctl is-enabled sensors-export.timer) $(systemctl is-active sensors-export.timer)"
tries=0
until [ -s /var/lib/prometheus/node-exporter/sensors.prom ] || [ $tries -ge 300 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
echo "sensors-export.service: $(systemctl show -p Result --value sensors-export.service)"
bash -c 'exec 3<>/dev/tcp/127.0.0.1/9100 && printf "GET /metrics HTTP/1.0\r\n\r\n" >&3 && tr -d "\r" <&3' >metrics
chip=$(sed -n 's/^hwkit_hwmon_chip_names{chip="\([^"]*\)",chip_name="nvme",.*/\1/p' metrics)
grep -F "{chip=\"$chip\"" metrics | grep -E '^hwkit_hwmon_|^node_hwmon_temp_celsius'
grep '^node_textfile_scrape_error' metrics
# The node exporter prints the labels sorted, chip first.  Our chip_names
# has sensors_name besides; read_errors is ours alone.
awk -v chip="$chip" '
    index($0, "{chip=\"" chip "\"") == 0 { next }
    {
        i = match($0, / [^ ]*$/)
        series = substr($0, 1, i - 1)
        value = substr($0, i + 1)
    }
    /^node_hwmon_/ { theirs[substr(series, 12)] = value; next }
    /^hwkit_hwmon_read_errors/ { next }
    /^hwkit_hwmon_/ {
        key = substr(series, 13)
        sub(/,sensors_name="[^"]*"/, "", key)
        ours[key] = value
    }
    END {
        for (key in theirs) {
            n++
            d = theirs[key] - ours[key]
            if (!(key in ours)) print "not ours: node_hwmon_" key " " theirs[key]
            else if (d * d > 1e-18 * (theirs[key] * theirs[key] + 1)) print "not the same: node_hwmon_" key " " theirs[key] ", ours " ours[key]
            else same++
        }
        for (key in ours) if (!(key in theirs)) print "not the node exporter'"'"'s: hwkit_hwmon_" key " " ours[key]
        printf "the node exporter'"'"'s hwmon collector: %d series of %s, %d of them ours with the same labels and value\n", n, chip, same
    }' metrics
systemd-analyze security --no-pager sensors-export.service |
    sed -n 's/^→ Overall exposure level for \([^:]*\): \([0-9.]*\) .*/\1: exposure \2/p'
