# Without the node exporter's folder the textfile service is skipped by its
# condition, not failed, and the timer goes on.
mv /var/lib/prometheus/node-exporter /var/lib/prometheus/node-exporter.away
systemctl start psumon-textfile.service
for p in ConditionResult Result ActiveState; do
    echo "$p=$(systemctl show -p $p --value psumon-textfile.service)"
done
echo "psumon-textfile.service: $(systemctl is-failed psumon-textfile.service); timer $(systemctl is-active psumon-textfile.timer)"
mv /var/lib/prometheus/node-exporter.away /var/lib/prometheus/node-exporter
