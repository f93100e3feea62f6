#!/bin/sh
# The real node exporter's hwmon collector is the authority for the names
# of sensors-export's readings: over one fixture appliance (every class,
# alarms, faults, beeps, VIDs, labels, two chips of one name, a chip without
# a device, a device below a bridge), each node exporter given and
# sensors-export must publish the same series (node_ made hwkit_), the same
# values where the collector's are right, the same chip names and the
# driver's labels.  The collector divides flags whose name carries a unit by
# that unit's scale (1000, a million for watts) and humidity by a million:
# ours are the library's flags and humidity's ratio, and the test holds
# both to that.
# usage: node-exporter-names.sh SENSORS-EXPORT NODE-EXPORTER...
set -u
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = --inside ]; then
    # In the fixture's namespace: each node exporter's hwmon metrics, then ours.
    work=$2 export=$3
    shift 3
    n=0
    for exporter in "$@"; do
        n=$((n + 1))
        tries=0
        while [ $tries -lt 20 ]; do
            port=$((20000 + ($$ * 13 + tries * 7919 + n) % 40000))
            tries=$((tries + 1))
            "$exporter" --web.listen-address=127.0.0.1:$port --collector.disable-defaults \
                --collector.hwmon --path.sysfs=/sys >"$work/exporter$n.log" 2>&1 &
            pid=$!
            waited=0
            while kill -0 $pid 2>/dev/null && [ $waited -lt 100 ] &&
                ! curl -fsS --max-time 5 "http://127.0.0.1:$port/metrics" >"$work/exporter$n.prom" 2>/dev/null; do
                sleep 0.1
                waited=$((waited + 1))
            done
            kill $pid 2>/dev/null
            wait $pid 2>/dev/null
            [ -s "$work/exporter$n.prom" ] && break
            grep -q "address already in use" "$work/exporter$n.log" || break
        done
    done
    exec "$export" --prometheus -c "$here/fixtures/empty.conf" >"$work/ours.prom"
fi

why=$("$here/../host-needs.sh" mount-namespace) || { echo "skipped: $why"; exit 77; }
export=$1
shift
work=$(mktemp -d /tmp/hwkit-names-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$here/fixture-run.sh" "$here/fixtures/hwmon-names.hw" "$here/fixtures/empty.conf" /bin/sh \
    "$here/node-exporter-names.sh" --inside "$work" "$export" "$@" || { echo "sensors-export failed"; exit 1; }

# hwkit_hwmon_* samples but the annotations, as NAME{LABELS} VALUE.
readings() {
    grep '^hwkit_hwmon_' | grep -Ev '^hwkit_hwmon_(chip_names|sensor_label|read_errors)\{' | sort
}
grep '^hwkit_hwmon_' "$work/ours.prom" | grep -q . || { echo "sensors-export published no reading"; exit 1; }
failed=0
n=0
for exporter in "$@"; do
    n=$((n + 1))
    theirs=$work/exporter$n.prom
    [ -s "$theirs" ] || { echo "$exporter served nothing:"; cat "$work/exporter$n.log"; failed=1; continue; }
    sed -n 's/^node_hwmon_/hwkit_hwmon_/p' "$theirs" | readings >"$work/theirs$n"
    readings <"$work/ours.prom" >"$work/ours$n"
    cut -d' ' -f1 "$work/theirs$n" >"$work/theirs$n.names"
    cut -d' ' -f1 "$work/ours$n" >"$work/ours$n.names"
    if ! diff -u "$work/theirs$n.names" "$work/ours$n.names" >"$work/diff"; then
        echo "series of $exporter (-) and of sensors-export (+) differ:"
        cat "$work/diff"
        failed=1
    fi
    # The values of the series both have: equal to 12 digits, but where the
    # collector's are wrong.
    join "$work/theirs$n" "$work/ours$n" | awk '
        function off(a, b) { d = a - b; if (d < 0) d = -d; return d > 1e-12 * (a < 0 ? -a : a) }
        {
            want = $2
            if ($1 ~ /_alarm_(celsius|volts|amps)\{/) want = $2 * 1000
            else if ($1 ~ /_alarm_watt\{/) want = $2 * 1000000
            else if ($1 ~ /^hwkit_hwmon_humidity\{/) want = $2 * 10
            if (off(want, $3)) { print "value of " $1 ": node exporter " $2 ", sensors-export " $3; bad = 1 }
            checked++
        }
        END { if (!checked) { print "no value compared"; bad = 1 } exit bad }' || failed=1
    # Its chip names are ours without sensors' own; its labels, the
    # drivers', are among ours.
    grep '^node_hwmon_chip_names{' "$theirs" | sed 's/^node_/hwkit_/' | sort >"$work/chips$n"
    grep '^hwkit_hwmon_chip_names{' "$work/ours.prom" | sed 's/,sensors_name="[^"]*"//' | sort >"$work/ourchips$n"
    if ! diff -u "$work/chips$n" "$work/ourchips$n"; then
        echo "chip names of $exporter (-) and of sensors-export (+) differ"
        failed=1
    fi
    grep '^node_hwmon_sensor_label{' "$theirs" |
        sed 's/^node_hwmon_sensor_label{chip="\([^"]*\)",label="\([^"]*\)",sensor="\([^"]*\)"}/hwkit_hwmon_sensor_label{chip="\1",sensor="\3",label="\2"}/' |
        sort >"$work/labels$n"
    if [ ! -s "$work/labels$n" ] || [ -n "$(sort "$work/ours.prom" | comm -23 "$work/labels$n" -)" ]; then
        echo "labels of $exporter missing from sensors-export's:"
        sort "$work/ours.prom" | comm -23 "$work/labels$n" -
        failed=1
    fi
    [ $failed -eq 0 ] && echo "ok: $(wc -l <"$work/theirs$n") series, chip names and labels alike with $exporter"
done
exit $failed
