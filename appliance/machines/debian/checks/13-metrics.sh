# The new state through the whole path: the timer has run the textfile
# service (this check runs it once more, so as not to wait 30 s), the
# node exporter here serves hwkit_psu_* with no textfile error, and the
# Prometheus on the host, scraping through the forwarded port, has time to
# see it (its verdict is 13-metrics.host).
[ "$(systemctl show -p LastTriggerUSecMonotonic --value psumon-textfile.timer)" != 0 ] && echo "the timer has run"
systemctl start psumon-textfile.service
echo "psumon-textfile.service: $(systemctl show -p Result --value psumon-textfile.service)"
bash -c 'exec 3<>/dev/tcp/127.0.0.1/9100 && printf "GET /metrics HTTP/1.0\r\n\r\n" >&3 && tr -d "\r" <&3' >metrics
grep -E '^hwkit_psu_(state|read_ok)|^node_textfile_scrape_error' metrics
# Prometheus scrapes and evaluates every second.
sleep 10
