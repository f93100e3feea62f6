#!/bin/sh
# The sensor readings' whole path on this machine, on 127.0.0.1 only:
# sensors-export over a fixture appliance (in its private mount namespace)
# writes sensors.prom, a real node exporter serves it with no collector
# error, and a real Prometheus scrapes it every second with the alert rules
# loaded.  Then at once the voltage's alarm flag rises and the fan with a
# minimum stops: HwkitHwmonAlarm (naming the configuration's label) and
# HwkitFanBelowMinimum fire once their 2 minutes are over, while the fans
# standing still from the start, with no minimum or a minimum of 0, raise
# nothing.  Both servers are stopped at the end.
# usage: sensors_end_to_end.sh BIN-DIR SENSORS-EXPORT FIXTURE-RUN RULES FIXTURE.hw CONFIG
set -u
bin=$1 export=$2 fixture_run=$3 rules=$4 fixture=$5 config=$6
# shellcheck source=servers.sh
. "$(dirname "$0")/servers.sh"

# ALARM FAN1: the fixture with in0_alarm holding ALARM and fan1_input FAN1, exported.
appliance() {
    sed -e "s/^in0_alarm .*/in0_alarm $1/" -e "s/^fan1_input .*/fan1_input $2/" "$fixture" >"$tmp/appliance.hw"
    "$fixture_run" "$tmp/appliance.hw" "$config" "$export" --prometheus -o "$tmp/collector/sensors.prom" ||
        fail "sensors-export failed"
}
# The node exporter prints the labels sorted.
alarm='hwkit_hwmon_in_alarm{chip="i2c_1_002e",sensor="in0"}'
fan='hwkit_hwmon_fan_rpm{chip="platform_it87_656",sensor="fan1"}'
# ALARM FAN1: the node exporter serves them, and its textfile collector has no error.
served() {
    metrics=$(get "http://127.0.0.1:$exporter/metrics")
    printf '%s\n' "$metrics" | grep -qxF "$alarm $1" || fail "the node exporter does not serve the alarm at $1"
    printf '%s\n' "$metrics" | grep -qxF "$fan $2" || fail "the node exporter does not serve the fan at $2"
    printf '%s\n' "$metrics" | grep -qx 'node_textfile_scrape_error 0' || fail "the textfile collector reports an error"
}
# The alerts Prometheus holds, pending or firing, one a line.
alerts() { get "$api/alerts" | awk '{ gsub(/\{"labels":/, "\n&"); print }'; }

appliance 0 1200
textfile_exporter "$bin"
served 0 1200

prometheus "$bin" "$exporter" "$rules"
# A rule file Prometheus cannot find leaves it without rules, and no error.
for alert in HwkitHwmonAlarm HwkitFanBelowMinimum; do
    get "$api/rules" | grep -q "\"name\":\"$alert\"" || fail "Prometheus has no rule $alert"
done
await "$api/query?query=hwkit_hwmon_in_alarm" '"sensor":"in0"},"value":\[[0-9.]*,"0"\]' 30 \
    "Prometheus never saw the alarm at 0"
await "$api/query?query=hwkit_hwmon_fan_rpm" '"sensor":"fan1"},"value":\[[0-9.]*,"1200"\]' 30 \
    "Prometheus never saw the fan at 1200 rpm"

flipped=$(date +%s)
appliance 1 0
served 1 0
alarm_fired="" fan_fired=""
until [ -n "$alarm_fired" ] && [ -n "$fan_fired" ]; do
    [ $(($(date +%s) - flipped)) -lt 180 ] || fail "not both fired within 180 s: $(alerts)"
    firing=$(alerts | grep '"state":"firing"')
    if [ -z "$alarm_fired" ] && printf '%s\n' "$firing" | grep -q '"alertname":"HwkitHwmonAlarm"'; then
        alarm_fired=$(($(date +%s) - flipped))
    fi
    if [ -z "$fan_fired" ] && printf '%s\n' "$firing" | grep -q '"alertname":"HwkitFanBelowMinimum"'; then
        fan_fired=$(($(date +%s) - flipped))
    fi
    sleep 0.2
done
echo "HwkitHwmonAlarm fired $alarm_fired s and HwkitFanBelowMinimum $fan_fired s after the flip"

held=$(alerts)
hwmon_alarm=$(printf '%s\n' "$held" | grep '"alertname":"HwkitHwmonAlarm"')
fan_alert=$(printf '%s\n' "$held" | grep '"alertname":"HwkitFanBelowMinimum"')
[ "$(printf '%s\n' "$hwmon_alarm" | wc -l)" -eq 1 ] || fail "HwkitHwmonAlarm is not for the one flag raised: $hwmon_alarm"
printf '%s\n' "$hwmon_alarm" | grep -q '"chip":"i2c_1_002e".*"sensor":"in0"' ||
    fail "HwkitHwmonAlarm is not for the voltage's chip and sensor: $hwmon_alarm"
printf '%s\n' "$hwmon_alarm" | grep -q '"summary":"[^"]*Vcore' ||
    fail "HwkitHwmonAlarm does not name the configuration's label: $hwmon_alarm"
[ "$(printf '%s\n' "$fan_alert" | wc -l)" -eq 1 ] || fail "HwkitFanBelowMinimum is not for the one fan below its minimum: $fan_alert"
printf '%s\n' "$fan_alert" | grep -q '"chip":"platform_it87_656".*"sensor":"fan1".*"severity":"critical"' ||
    fail "HwkitFanBelowMinimum is not the stopped fan's, or not critical: $fan_alert"
served 1 0
