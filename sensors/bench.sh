#!/bin/sh
# Times the full report of a large appliance (64 chips of 40 subfeatures)
# against a bare walk that reads every value through libsensors without
# printing, both over the same fixture tree in a private mount namespace.
# Prints the median of several runs of each and their ratio.
# usage: sensors/bench.sh [BUILD-DIR] [RUNS]     (default build/plain, 21 runs)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build/plain}" && pwd)
runs=${2:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 64 ISA chips: six voltages (input, min, max, alarm), two fans (input, min,
# div), two temperatures (input, max, max_hyst, crit, alarm): 40 each.
chip=0
while [ $chip -lt 64 ]; do
    echo "chip nct6775 platform nct6775.$((0x290 + 16 * chip))"
    for i in 0 1 2 3 4 5; do
        printf 'in%d_input %d\nin%d_min 900\nin%d_max 1300\nin%d_alarm 0\n' $i $((1000 + 10 * i)) $i $i $i
    done
    for i in 1 2; do
        printf 'fan%d_input %d\nfan%d_min 600\nfan%d_div 4\n' $i $((1000 + chip)) $i $i
    done
    for i in 1 2; do
        printf 'temp%d_input %d\ntemp%d_max 80000\ntemp%d_max_hyst 75000\ntemp%d_crit 95000\ntemp%d_alarm 0\n' \
            $i $((30000 + 500 * chip)) $i $i $i $i
    done
    chip=$((chip + 1))
done >"$work/big.hw"
: >"$work/empty.conf"

cat >"$work/inner.sh" <<INNER
#!/bin/sh
# Runs inside the namespace: times each command RUNS times, prints the medians in microseconds.
median() {
    i=0
    while [ \$i -lt $runs ]; do
        start=\$(date +%s%N)
        "\$@" >/dev/null
        end=\$(date +%s%N)
        echo \$(((end - start) / 1000))
        i=\$((i + 1))
    done | sort -n | sed -n "\$(( ($runs + 1) / 2 ))p"
}
report=\$(median $build/sensors/sensors -c $work/empty.conf)
walk=\$(median $build/sensors/sensors-bench-walk $work/empty.conf)
echo "\$report \$walk"
INNER
chmod +x "$work/inner.sh"

set -- $("$top/tests/sensors/fixture-run.sh" "$work/big.hw" "$work/empty.conf" "$work/inner.sh")
report=$1 walk=$2
lines=$("$top/tests/sensors/fixture-run.sh" "$work/big.hw" "$work/empty.conf" "$build/sensors/sensors" -c "$work/empty.conf" | wc -l)
echo "appliance:   64 chips x 40 subfeatures, report of $lines lines"
echo "full report: $report us (median of $runs runs, process start to end)"
echo "bare walk:   $walk us (median of $runs runs)"
awk -v r="$report" -v w="$walk" 'BEGIN { printf "ratio:       %.2f\n", r / w }'
