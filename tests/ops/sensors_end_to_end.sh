#!/bin/sh
# The sensor readings' whole path on this machine, on 127.0.0.1 only:
# sensors-export over a fixture appliance (in its private mount namespace)
# writes sensors.prom, a real node exporter serves it with no collector
# error, a real Prometheus scrapes it every second with the alert rules
# loaded, and after the fixture's alarm file flips to 1 HwkitSensorAlarm
# fires once its 2 minutes are over.  Both servers are stopped at the end.
# usage: sensors_end_to_end.sh BIN-DIR SENSORS-EXPORT FIXTURE-RUN RULES FIXTURE.hw CONFIG
set -u
bin=$1 export=$2 fixture_run=$3 rules=$4 fixture=$5 config=$6
# shellcheck source=servers.sh
. "$(dirname "$0")/servers.sh"

# ALARM: the fixture with its in0_alarm file holding ALARM, exported.
appliance() {
    sed "s/^in0_alarm .*/in0_alarm $1/" "$fixture" >"$tmp/appliance.hw"
    "$fixture_run" "$tmp/appliance.hw" "$config" "$export" --prometheus -o "$tmp/collector/sensors.prom" ||
        fail "sensors-export failed"
}

appliance 0
textfile_exporter "$bin"
# The node exporter prints the labels sorted.
alarm='hwkit_sensor_alarm{chip="lm85-i2c-1-2e",feature="in0",kind="alarm",label="Vcore"}'
get "http://127.0.0.1:$exporter/metrics" | grep -qxF "$alarm 0" || fail "the node exporter does not serve the alarm"
get "http://127.0.0.1:$exporter/metrics" | grep -qx 'node_textfile_scrape_error 0' ||
    fail "the textfile collector reports an error"

prometheus "$bin" "$exporter" "$rules"
await "$api/query?query=hwkit_sensor_alarm" '"value":\[[0-9.]*,"0"\]' 30 "Prometheus never saw the alarm at 0"

flipped=$(date +%s)
appliance 1
get "http://127.0.0.1:$exporter/metrics" | grep -qxF "$alarm 1" || fail "the node exporter does not serve the raised alarm"
await "$api/alerts" '"alertname":"HwkitSensorAlarm".*"state":"firing"' 180 "HwkitSensorAlarm did not fire"
echo "HwkitSensorAlarm fired $(($(date +%s) - flipped)) s after the alarm file flipped"
get "$api/alerts" | grep -q '"label":"Vcore"' || fail "the alert does not name the configuration's label"
get "http://127.0.0.1:$exporter/metrics" | grep -qx 'node_textfile_scrape_error 0' ||
    fail "the textfile collector reports an error"
