#!/bin/sh
# What evaluating an alert rule file costs a Prometheus server that watches a
# fleet of appliances.  Makes the fleet's history (psumon's and
# sensors-export's series as the node exporter serves them, one sample per
# scrape) as OpenMetrics text, backfills it with promtool into a TSDB (and the
# history of the file's recording rules, evaluated by promtool against that
# TSDB), starts Prometheus on 127.0.0.1 over it, evaluates each rule's
# expression at the end of the history through the HTTP API and prints, per
# rule and for one round of the whole file, the samples it touched and the
# time it took.  Prints figures; asserts nothing.
#
# A metric gets history only as far back as some rule reads it (plus an
# hour), and where only a recording rule's instant selector reads it, over
# that rule's own history, one sample every 4m30s (the last within the
# 5-minute lookback is all that selector reads): an older or a skipped
# sample is one that no evaluation touches, so the figures are those of a
# server that kept everything, at a fraction of the samples.  -f makes every
# sample of the whole window.
#
# The recording rules' history is promtool's evaluation of their
# expressions over the fleet's history.  It evaluates a range at once: a
# rule that reads its own series (to carry a value on) sees none of its
# earlier results, so its history is what its other terms give.
#
# usage: ops/fleet-bench.sh [-n APPLIANCES] [-i SCRAPE-INTERVAL] [-w WINDOW]
#            [-r REPEATS] [-f] [-k] [-b PROMETHEUS-BIN-DIR] [-t SCRATCH-PARENT] [RULES]
#   -n  appliances (500)          -i  scrape and evaluation interval (30s)
#   -w  history to make, instead of the longest the rules read plus an hour
#       (shorter for a quick run: long-range rules then read less)
#   -r  timed evaluations of each rule, after one untimed (5)
#   -b  where prometheus and promtool are (build/plain/tests/ops/prometheus/bin,
#       fetched with tests/ops/fetch-prometheus.sh if missing)
#   -t  folder for the scratch folder (TMPDIR, else /tmp)
#   -k  keep the scratch folder (the TSDB among it)
#   RULES  the rule file (ops/hwkit-alerts.yml)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
lib=$here/fleet-bench
appliances=500 interval=30s window="" repeats=5 full=0 keep=0
bin=$repo/build/plain/tests/ops/prometheus/bin
parent=${TMPDIR:-/tmp}
usage() { sed -n '/^# usage:/,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
while getopts n:i:w:r:fkb:t:h opt; do
    case $opt in
        n) appliances=$OPTARG ;;
        i) interval=$OPTARG ;;
        w) window=$OPTARG ;;
        r) repeats=$OPTARG ;;
        f) full=1 ;;
        k) keep=1 ;;
        b) bin=$OPTARG ;;
        t) parent=$OPTARG ;;
        *) usage ;;
    esac
done
shift $((OPTIND - 1))
[ $# -le 1 ] || usage
rules=${1:-$repo/ops/hwkit-alerts.yml}
[ -r "$rules" ] || { echo "fleet-bench: cannot read $rules" >&2; exit 1; }
rules=$(cd "$(dirname "$rules")" && pwd)/$(basename "$rules")

# 1h30m, 7d, 90s or a number of seconds, in seconds.
secs() {
    awk -v d="$1" 'BEGIN {
        split("ms 0.001 s 1 m 60 h 3600 d 86400 w 604800 y 31536000", u, " ")
        for (k = 1; k < 14; k += 2) unit[u[k]] = u[k + 1]
        if (d ~ /^[0-9]+$/) { print d; exit }
        t = 0
        while (match(d, /^[0-9]+(ms|[smhdwy])/)) {
            n = substr(d, 1, RLENGTH); d = substr(d, RLENGTH + 1)
            x = n; sub(/^[0-9]+/, "", x); t += (n + 0) * unit[x]
        }
        if (d != "" || t <= 0) exit 1
        print int(t)
    }' || { echo "fleet-bench: not a duration: $1" >&2; exit 2; }
}
# Seconds as 7d 1h, 25h as 1d 1h, 90 as 1m 30s.
human() {
    awk -v s="$1" 'BEGIN {
        s = int(s); o = ""
        split("86400 d 3600 h 60 m 1 s", u, " ")
        for (k = 1; k < 8; k += 2) if (s >= u[k] + 0) { o = o (o == "" ? "" : " ") int(s / u[k]) u[k + 1]; s %= u[k] }
        print (o == "" ? "0s" : o)
    }'
}
clock() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(clock)" 'BEGIN { printf "%.1f\n", b - a }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }

step=$(secs "$interval")
case $appliances in '' | *[!0-9]*) usage ;; esac
case $repeats in '' | *[!0-9]* | 0) usage ;; esac
[ -z "$window" ] || window=$(secs "$window")

if [ ! -x "$bin/prometheus" ] || [ ! -x "$bin/promtool" ]; then
    "$repo/tests/ops/fetch-prometheus.sh" "$(dirname "$bin")"
fi

scratch=$(mktemp -d "$parent/fleet-bench.XXXXXX")
pid="" bfpid=""
cleanup() {
    if [ -n "$bfpid" ]; then wait "$bfpid" 2>/dev/null || true; fi
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    if [ "$keep" -eq 1 ]; then echo "scratch folder kept: $scratch" >&2; else rm -rf "$scratch"; fi
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

fail() {
    echo "fleet-bench: $*" >&2
    for log in "$scratch"/*.log; do [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }; done
    exit 1
}

# NAME DATA-DIR CONFIG [FLAGS...]: Prometheus on a free port of 127.0.0.1;
# sets pid and api.  stop_prometheus ends it.
attempts=0
start_prometheus() {
    name=$1 data=$2 config=$3
    shift 3
    tries=0
    while [ $tries -lt 20 ]; do
        port=$((20000 + ($$ + attempts * 7919) % 40000))
        tries=$((tries + 1)) attempts=$((attempts + 1))
        "$bin/prometheus" --config.file="$config" --storage.tsdb.path="$data" \
            --web.listen-address="127.0.0.1:$port" "$@" >"$scratch/$name.log" 2>&1 &
        pid=$!
        waited=0
        while kill -0 "$pid" 2>/dev/null && [ $waited -lt 1200 ]; do
            if grep -qs "Server is ready" "$scratch/$name.log" &&
                curl -fsS --max-time 5 "http://127.0.0.1:$port/-/ready" >/dev/null 2>&1; then
                api=http://127.0.0.1:$port/api/v1
                return 0
            fi
            sleep 0.1
            waited=$((waited + 1))
        done
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        pid=""
        grep -q "address already in use" "$scratch/$name.log" || fail "Prometheus ($name) did not start"
    done
    fail "Prometheus ($name) found no free port"
}
stop_prometheus() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
}

# The rules as Prometheus reads them: started on an empty TSDB with the file
# loaded, evaluating seldom (an interval no group is likely to set, so that a
# group's own shows).
"$bin/promtool" check rules "$rules" >"$scratch/check.log" 2>&1 || fail "promtool check rules $rules failed"
sentinel=3661
cat >"$scratch/parse.yml" <<EOF
global:
  evaluation_interval: ${sentinel}s
rule_files:
  - '$(printf '%s' "$rules" | sed "s/'/''/g")'
EOF
start_prometheus parse "$scratch/parse-data" "$scratch/parse.yml"
curl -fsS --max-time 30 "$api/rules" >"$scratch/rules.json" || fail "cannot read the rules back"
stop_prometheus
rm -rf "$scratch/parse-data"

# rules.tsv: ID TYPE GROUP NAME FOR INTERVAL EXPR (INTERVAL "-" where the
# group has none); labels.tsv: ID KEY VALUE.
awk -f "$lib/json.awk" "$scratch/rules.json" | awk -F '\t' -v sentinel=$sentinel \
    -v labels="$scratch/labels.tsv" '
    {
        n = split($1, p, ".")
        if (p[1] != "data" || p[2] != "groups") next
        g = p[3] + 1; if (g > ng) ng = g
        if (n == 4 && p[4] == "name") gname[g] = $2
        if (n == 4 && p[4] == "interval") gint[g] = ($2 == sentinel ? "-" : $2)
        if (p[4] != "rules" || n < 6) next
        r = p[5] + 1; if (r > nr[g]) nr[g] = r
        if (n == 6) v[g, r, p[6]] = $2
        if (n == 7 && p[6] == "labels") lab[g, r] = lab[g, r] p[7] "\t" $2 "\n"
    }
    END {
        id = 0
        for (g = 1; g <= ng; g++)
            for (r = 1; r <= nr[g]; r++) {
                id++
                print id "\t" (v[g, r, "type"] == "recording" ? "record" : "alert") "\t" gname[g] "\t" \
                    v[g, r, "name"] "\t" (v[g, r, "duration"] + 0) "\t" gint[g] "\t" v[g, r, "query"]
                k = split(lab[g, r], l, "\n")
                for (j = 1; j < k; j++) print id "\t" l[j] > labels
            }
    }' >"$scratch/rules.tsv"
touch "$scratch/labels.tsv"
nrules=$(wc -l <"$scratch/rules.tsv")
[ "$nrules" -gt 0 ] || fail "no rules in $rules"

awk -F '\t' '{ print $1 "\t" $7 }' "$scratch/rules.tsv" | awk -f "$lib/selectors.awk" >"$scratch/selectors.tsv"
awk -v mode=names -f "$lib/fleet.awk" >"$scratch/names.txt"
awk -v NAMES="$scratch/names.txt" -v RULES="$scratch/rules.tsv" -f "$lib/windows.awk" \
    "$scratch/names.txt" "$scratch/rules.tsv" "$scratch/selectors.tsv" >"$scratch/windows.txt"

margin=3600
longest=$(awk 'BEGIN { m = 0 } $1 == "name" { if ($3 > m) m = $3; if ($4 > m) m = $4 } END { print int(m + 0.999) }' "$scratch/windows.txt")
longest_for=$(awk -F '\t' 'BEGIN { m = 0 } $5 > m { m = $5 } END { print int(m) }' "$scratch/rules.tsv")
if [ -z "$window" ]; then
    window=$longest
    [ "$longest_for" -le "$window" ] || window=$longest_for
    window=$((window + margin))
fi
window=$(((window + step - 1) / step * step))

# The end of the history, on the scrape grid; blocks as a server that keeps
# at least 15 days (and the window) would cut them: the largest of 2h, 6h,
# 18h, ... within a tenth of the retention.
end=$(($(date +%s) / step * step))
retention=$((15 * 86400))
[ $((window + 86400)) -le $retention ] || retention=$((window + 86400))
slice=7200
while [ $((slice * 3)) -le $((retention / 10)) ] && [ $((slice * 3)) -le $((31 * 86400)) ]; do slice=$((slice * 3)); done

# starts.txt: "NAME DENSE SPARSE", when each metric has a sample every
# scrape from, and when one every $sparse seconds from (an instant selector
# of a recording rule reads the last sample within the lookback, 5 minutes).
# Recorded metrics are not made.
sparse=$((299 / step * step))
[ "$sparse" -ge "$step" ] || sparse=$step
awk -v end="$end" -v window="$window" -v margin=$margin -v full=$full '
    FILENAME == ARGV[1] { if ($1 == "name") { dense[$2] = $3; sparse[$2] = $4 }; next }
    {
        d = ($1 in dense) ? dense[$1] + margin : margin
        s = ($1 in sparse) && sparse[$1] > 0 ? sparse[$1] + margin : 0
        if (full) d = window
        if (d > window) d = window
        if (s > window) s = window
        if (s < d) s = d
        printf "%s %.0f %.0f\n", $1, end - d, end - s
    }' "$scratch/windows.txt" "$scratch/names.txt" >"$scratch/starts.txt"

series=$(awk -v n="$appliances" '{ s += $2 } END { print s * n }' "$scratch/names.txt")
per_appliance=$(awk '{ s += $2 } END { print s }' "$scratch/names.txt")
# Samples of the largest slice (at some 110 bytes a sample of text), of all,
# and of a server that kept every series over the window.
estimate=$(awk -v n="$appliances" -v end="$end" -v step="$step" -v sparse="$sparse" -v slice="$slice" -v window="$window" '
    FILENAME == ARGV[1] { count[$1] = $2; next }
    {
        c = count[$1] * n; d = end - $2; sp = $2 - $3
        big = (d < slice ? d / step + (slice - d) / sparse : slice / step)
        if (d + sp < slice) big = d / step + sp / sparse
        s += c * big; t += c * (d / step + sp / sparse); f += c * window / step
    }
    END { printf "%.0f %.0f %.0f\n", s * 110, t, f }' "$scratch/names.txt" "$scratch/starts.txt")
read -r slice_bytes total_samples kept_samples <<EOF
$estimate
EOF
free=$(df -Pk "$scratch" | awk 'NR == 2 { printf "%.0f\n", $4 * 1024 }')
echo "fleet: $appliances appliances, $series series ($per_appliance each), a sample every $(human "$step")"
echo "window: $(human "$window"), ending $(date -u -d "@$end" '+%Y-%m-%d %H:%M:%S UTC') (longest read $(human "$longest"), longest for $(human "$longest_for")); blocks of $(human "$slice")"
echo "to make: about $total_samples samples (a server keeping every series over the window holds $kept_samples); the largest slice about $(mib "$slice_bytes") of text; $(mib "$free") free in $parent"
[ "$free" -gt $((slice_bytes * 5 / 2)) ] || fail "not enough room in $parent for two slices of text"
[ "$window" -ge "$longest" ] || echo "the window is shorter than the rules read: those that read further back read less than on a server"

# Generate slice k+1 while promtool backfills slice k.
tsdb=$scratch/tsdb
mkdir -p "$tsdb" "$scratch/slices"
backfill() {
    b0=$(clock)
    if "$bin/promtool" tsdb create-blocks-from openmetrics -q --max-block-duration="${slice}s" "$1" "$tsdb" >"$1.log" 2>&1; then
        since "$b0" >"$1.time"
    else
        cat "$1.log" >"$scratch/backfill.log"
    fi
    rm -f "$1"
}
first=$(awk 'NR == 1 || $3 < m { m = $3 } END { printf "%.0f\n", m }' "$scratch/starts.txt")
k=$((first / slice))
last=$((end / slice))
t0=$(clock)
gen_time=0 bytes=0 biggest=0 samples=0 nslices=0
while [ $k -le $last ]; do
    s0=$((k * slice)) s1=$(((k + 1) * slice))
    [ $s0 -ge "$first" ] || s0=$first
    file=$scratch/slices/$k.om
    g0=$(clock)
    awk -v mode=gen -v N="$appliances" -v TEND="$end" -v STEP="$step" -v SPARSE="$sparse" -v S0="$s0" -v S1="$s1" \
        -v STARTS="$scratch/starts.txt" -f "$lib/fleet.awk" >"$file" 2>"$file.count"
    gen_time=$(awk -v a="$gen_time" -v b="$(since "$g0")" 'BEGIN { print a + b }')
    size=$(wc -c <"$file")
    bytes=$((bytes + size))
    [ "$size" -le "$biggest" ] || biggest=$size
    count=$(awk '{ print $2 }' "$file.count")
    k=$((k + 1))
    if [ "$count" -eq 0 ]; then rm -f "$file"; continue; fi
    samples=$((samples + count))
    nslices=$((nslices + 1))
    if [ -n "$bfpid" ]; then wait "$bfpid" || true; fi
    [ ! -f "$scratch/backfill.log" ] || fail "promtool could not backfill a slice"
    backfill "$file" &
    bfpid=$!
done
if [ -n "$bfpid" ]; then wait "$bfpid" || true; fi
bfpid=""
[ ! -f "$scratch/backfill.log" ] || fail "promtool could not backfill a slice"
made=$(since "$t0")
backfill_time=$(cat "$scratch"/slices/*.time 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')
rm -rf "$scratch/slices"

cat >"$scratch/bench.yml" <<EOF
global:
  scrape_interval: ${step}s
  evaluation_interval: ${step}s
EOF
serve() {
    start_prometheus bench "$tsdb" "$scratch/bench.yml" --storage.tsdb.retention.time="${retention}s" \
        --storage.tsdb.min-block-duration=2h --storage.tsdb.max-block-duration="${slice}s" \
        --query.max-samples=2000000000 --query.timeout=10m
}
serve

# The history of the recording rules, evaluated by promtool against the
# fleet's, one level at a time (a rule that reads another's series after that
# one's): each rule as far back as others read its series, plus an hour.
# Then Prometheus merges the blocks that overlap, as it would its own.
awk '$1 == "record" { printf "%d %.0f\n", $3, $4 }' "$scratch/windows.txt" | sort -u -n -k1,1 -k2,2 >"$scratch/batches"
levels=$(awk 'BEGIN { m = 0 } $1 > m { m = $1 } END { print m }' "$scratch/batches")
rules_time=0 compact_time=0 recorded=0 recorded_samples=0
if [ "$levels" -gt 0 ]; then
    r0=$(clock)
    done_level=1 batch=0
    while read -r level back; do
        if [ "$level" -ne "$done_level" ]; then
            stop_prometheus
            for b in "$scratch"/rules-*/*/; do [ -d "$b" ] && mv "$b" "$tsdb/"; done
            serve
            done_level=$level
        fi
        batch=$((batch + 1))
        awk -F '\t' -v level="$level" -v back="$back" '
            FILENAME == ARGV[1] { split($0, w, " "); if (w[1] == "record") { lv[w[2]] = w[3]; bk[w[2]] = w[4] }; next }
            FILENAME == ARGV[2] { lab[$1] = lab[$1] "          " q($2) ": " q($3) "\n"; next }
            $2 == "record" && lv[$1] == level && bk[$1] == back {
                if ($3 != group) {
                    printf "  - name: %s\n", q($3)
                    if ($6 != "-") printf "    interval: %ss\n", $6
                    print "    rules:"
                    group = $3
                }
                printf "      - record: %s\n        expr: %s\n", q($4), q($7)
                if ($1 in lab) printf "        labels:\n%s", lab[$1]
            }
            function q(s) { gsub(/\047/, "\047\047", s); return "\047" s "\047" }
            BEGIN { print "groups:" }' "$scratch/windows.txt" "$scratch/labels.tsv" "$scratch/rules.tsv" \
            >"$scratch/batch-$batch.yml"
        from=$((back + margin))
        [ $from -le "$window" ] || from=$window
        "$bin/promtool" tsdb create-blocks-from rules -q --url="http://127.0.0.1:$port" \
            --start=$((end - from)) --end="$end" --eval-interval="${step}s" --max-block-duration="${slice}s" \
            --output-dir="$scratch/rules-$batch" "$scratch/batch-$batch.yml" >"$scratch/rules-backfill.log" 2>&1 ||
            fail "promtool could not backfill the recording rules of $scratch/batch-$batch.yml"
    done <"$scratch/batches"
    stop_prometheus
    for b in "$scratch"/rules-*/*/; do [ -d "$b" ] && mv "$b" "$tsdb/"; done
    serve
    rules_time=$(since "$r0")
    c0=$(clock)
    overlaps() {
        for m in "$tsdb"/*/meta.json; do
            [ -f "$m" ] && tr -d ' \t\n' <"$m" | sed 's/.*"minTime":\([0-9]*\),"maxTime":\([0-9]*\).*/\1 \2/'
            echo
        done | awk 'NF == 2' | sort -n | awk 'NR > 1 && $1 < maxt { o++ } { if ($2 > maxt) maxt = $2 } END { print o + 0 }'
    }
    waited=0
    while [ "$(overlaps)" -gt 0 ]; do
        [ $waited -lt 1800 ] || fail "Prometheus did not merge the overlapping blocks within 30 minutes"
        sleep 5
        waited=$((waited + 5))
    done
    compact_time=$(since "$c0")
    awk -F '\t' '$2 == "record" { print $4 }' "$scratch/rules.tsv" | sort -u >"$scratch/records"
    while read -r name; do
        for q in "count(count_over_time({__name__=\"$name\"}[${window}s]))" "sum(count_over_time({__name__=\"$name\"}[${window}s]))"; do
            curl -fsS -G --max-time 300 "$api/query" --data-urlencode "query=$q" --data-urlencode "time=$end" |
                awk '{ if (match($0, /"value":\[[^,]*,"[0-9.e+]*"\]/)) { v = substr($0, RSTART, RLENGTH); sub(/.*,"/, "", v); sub(/"\]/, "", v); printf "%.0f ", v } else printf "0 " }'
        done
        echo
    done <"$scratch/records" >"$scratch/recorded"
    recorded=$(awk '{ s += $1 } END { printf "%.0f\n", s }' "$scratch/recorded")
    recorded_samples=$(awk '{ s += $2 } END { printf "%.0f\n", s }' "$scratch/recorded")
fi
tsdb_bytes=$(du -sk "$tsdb" | awk '{ printf "%.0f\n", $1 * 1024 }')
blocks=$(find "$tsdb" -mindepth 2 -maxdepth 2 -name meta.json | wc -l)

# One untimed round, then REPEATS timed ones.  results: ROUND ID EVAL-S
# WALL-S SAMPLES PEAK SERIES ERROR
round=0
: >"$scratch/results"
while [ $round -le "$repeats" ]; do
    while IFS='	' read -r id _ _ _ _ _ expr; do
        wall=$(curl -sS -G --max-time 900 -o "$scratch/answer" -w '%{time_total}' "$api/query" \
            --data-urlencode "query=$expr" --data-urlencode "time=$end" --data-urlencode "stats=all") || wall=0
        awk -v round=$round -v id="$id" -v wall="$wall" '
            { text = text $0 }
            END {
                err = ""
                if (text !~ /"status":"success"/) {
                    err = text
                    if (match(text, /"error":"([^"\\]|\\.)*"/)) err = substr(text, RSTART + 9, RLENGTH - 10)
                    gsub(/[ \t]+/, " ", err); if (err == "") err = "no answer"
                }
                ev = num(text, "evalTotalTime"); sm = num(text, "totalQueryableSamples"); pk = num(text, "peakSamples")
                nseries = gsub(/"metric":/, "", text)
                if (text ~ /"resultType":"scalar"/) nseries = 1
                printf "%s %s %.9g %.9g %.0f %.0f %d %s\n", round, id, ev, wall, sm, pk, nseries, (err == "" ? "-" : err)
            }
            function num(t, k) { return match(t, "\"" k "\":[-0-9.e+]+") ? substr(t, RSTART + length(k) + 3, RLENGTH - length(k) - 3) + 0 : 0 }
        ' "$scratch/answer" >>"$scratch/results"
    done <"$scratch/rules.tsv"
    round=$((round + 1))
done
stop_prometheus

echo "generated: $samples samples in $nslices slices, $(mib "$bytes") of OpenMetrics text (largest slice $(mib "$biggest")), ${gen_time%.*}s of awk"
echo "backfill: ${backfill_time%.*}s of promtool for the fleet (${made%.*}s for both, side by side)"
if [ "$levels" -eq 0 ]; then
    echo "recording rules: none"
else
    echo "recording rules: backfilled by promtool from the fleet's history, $recorded series, $recorded_samples samples, $levels level(s), ${rules_time%.*}s; overlapping blocks merged by Prometheus in ${compact_time%.*}s"
fi
kept=$(awk -v b="$tsdb_bytes" -v have=$((samples + recorded_samples)) -v all=$((kept_samples + recorded_samples)) \
    'BEGIN { printf "%.0f\n", b / have * all }')
if [ "$full" -eq 0 ]; then
    echo "TSDB: $(mib "$tsdb_bytes") in $blocks blocks; every series over the whole window would be about $(mib "$kept") at the same bytes per sample"
    echo "history: every scrape as far back as a rule reads all samples, one every $(human "$sparse") where it reads the last only, plus $(human $margin) (at least $(human $margin))"
else
    echo "TSDB: $(mib "$tsdb_bytes") in $blocks blocks"
fi
echo "evaluated at the end of the window, median of $repeats runs after one untimed"
echo
awk -v n="$appliances" -v repeats="$repeats" '
    FILENAME == ARGV[1] {
        split($0, f, "\t"); ids[++nr] = f[1]; type[f[1]] = f[2]; name[f[1]] = f[4]
        if (length(f[4]) > w) w = length(f[4])
        next
    }
    $1 > 0 {
        k = ++cnt[$2]; ev[$2, k] = $3; wl[$2, k] = $4; sm[$2] = $5; pk[$2] = $6; se[$2] = $7
        if ($8 != "-") { e = $0; for (j = 1; j <= 7; j++) sub(/^[^ ]+ /, "", e); gsub(/\\"/, "\"", e); err[$2] = e }
        round_ev[$1] += $3; round_wl[$1] += $4
    }
    END {
        if (w < 20) w = 20
        printf "%-" w "s %-6s %12s %10s %12s %7s %9s %9s\n", "rule", "type", "samples", "/appl.", "peak", "series", "eval ms", "wall ms"
        for (i = 1; i <= nr; i++) {
            r = ids[i]
            for (k = 1; k <= cnt[r]; k++) { a[k] = ev[r, k]; b[k] = wl[r, k] }
            me = median(a, cnt[r]); mw = median(b, cnt[r])
            printf "%-" w "s %-6s %12.0f %10.1f %12.0f %7d %9.2f %9.2f%s\n", name[r], type[r], sm[r], sm[r] / n, pk[r], se[r], me * 1000, mw * 1000, (sm[r] / n > 10000 ? "  over budget" : "")
            if (r in err) printf "    error: %s\n", err[r]
            total += sm[r]
            if (pk[r] > peak) peak = pk[r]
        }
        for (k = 1; k <= repeats; k++) { a[k] = round_ev[k]; b[k] = round_wl[k] }
        printf "%-" w "s %-6s %12.0f %10.1f %12.0f %7s %9.2f %9.2f\n", "one round (" nr " rules)", "", total, total / n, peak, "", median(a, repeats) * 1000, median(b, repeats) * 1000
        printf "\nbudget: %d samples per appliance per round; this file: %.1f (%s)\n", 10000, total / n, (total / n <= 10000 ? "within" : "OVER")
        if (peak > 50000000) print "a rule loads more than 50,000,000 samples at once: a server with the default --query.max-samples refuses it"
    }
    function median(v, m,    i, j, t) {
        for (i = 2; i <= m; i++) { t = v[i]; for (j = i - 1; j >= 1 && v[j] > t; j--) v[j + 1] = v[j]; v[j + 1] = t }
        return m % 2 ? v[(m + 1) / 2] : (v[m / 2] + v[m / 2 + 1]) / 2
    }' "$scratch/rules.tsv" "$scratch/results"
