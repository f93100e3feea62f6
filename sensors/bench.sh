#!/bin/sh
# The full report of large appliances (64 and 512 chips of 40 subfeatures)
# against a bare walk that reads every value through libsensors without
# printing, and against the same walk that also asks for every feature's
# label (which costs the library a look for the driver's label file), all
# over the same fixture tree in a private mount namespace: the median wall
# time of several runs of each, and, where valgrind is installed, the
# instructions of one run of each (callgrind), with the report's ratios.
# Then both formats of sensors-export against the walk with labels, which
# reads what they write, and the instructions of sensors-export --help: its
# start, nearly all the loader's work, which every run pays.
# usage: sensors/bench.sh [BUILD-DIR] [RUNS]     (default build/plain, 21 runs)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build/plain}" && pwd)
runs=${2:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/empty.conf"
callgrind=no
command -v valgrind >/dev/null && callgrind=yes

# CHIPS ISA chips: six voltages (input, min, max, alarm), two fans (input,
# min, div), two temperatures (input, max, max_hyst, crit, alarm): 40 each.
fixture() {
    chip=0
    while [ $chip -lt "$1" ]; do
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
    done
}

cat >"$work/inner.sh" <<INNER
#!/bin/sh
# Runs inside the namespace: the median wall time of RUNS runs of each
# program in microseconds, then the instructions of one run of each.
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
instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "\$@" 2>&1 >/dev/null |
        sed -n 's/.*Collected : \\([0-9]*\\).*/\\1/p'
}
report="$build/sensors/sensors -c $work/empty.conf"
walk="$build/sensors/sensors-bench-walk $work/empty.conf"
labelled="\$walk labels"
prometheus="$build/sensors/export/sensors-export --prometheus -c $work/empty.conf"
json="$build/sensors/export/sensors-export --json -c $work/empty.conf"
echo "\$(median \$report) \$(median \$walk) \$(median \$labelled) \$(median \$prometheus) \$(median \$json)"
if [ $callgrind = yes ]; then
    echo "\$(instructions \$report) \$(instructions \$walk) \$(instructions \$labelled)" \
        "\$(instructions \$prometheus) \$(instructions \$json)" \
        "\$(instructions $build/sensors/export/sensors-export --help)"
fi
INNER
chmod +x "$work/inner.sh"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
for chips in 64 512; do
    fixture $chips >"$work/big.hw"
    # shellcheck disable=SC2046
    set -- $("$top/tests/sensors/fixture-run.sh" "$work/big.hw" "$work/empty.conf" "$work/inner.sh")
    printf '%3d chips, wall (median of %d runs): report %d us, bare walk %d us, ratio %s; walk with labels %d us, ratio %s\n' \
        $chips "$runs" "$1" "$2" "$(ratio "$1" "$2")" "$3" "$(ratio "$1" "$3")"
    printf '%3d chips, wall (median of %d runs): sensors-export --prometheus %d us, ratio %s; --json %d us, ratio %s (to the walk with labels)\n' \
        $chips "$runs" "$4" "$(ratio "$4" "$3")" "$5" "$(ratio "$5" "$3")"
    if [ $# -eq 11 ]; then
        printf '%3d chips, instructions (callgrind, one run): report %d, bare walk %d, ratio %s; walk with labels %d, ratio %s\n' \
            $chips "$6" "$7" "$(ratio "$6" "$7")" "$8" "$(ratio "$6" "$8")"
        printf '%3d chips, instructions (callgrind, one run): sensors-export --prometheus %d, ratio %s; --json %d, ratio %s (to the walk with labels); --help alone %d\n' \
            $chips "$9" "$(ratio "$9" "$8")" "${10}" "$(ratio "${10}" "$8")" "${11}"
    fi
done
[ $callgrind = yes ] || echo "(valgrind is not installed: no instruction counts)"
