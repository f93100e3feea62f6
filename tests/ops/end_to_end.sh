#!/bin/sh
# The whole path on this machine, on 127.0.0.1 only: psumon-textfile over the
# simulated psumon writes the state, a real node exporter serves the file
# through its textfile collector (and no collector error), a real Prometheus
# scrapes it every second with the alert rules loaded, and a change of the
# simulated board's state makes HwkitPsuStateChanged fire, as Prometheus's
# HTTP API shows.  Both servers are stopped at the end, whatever happens.
# usage: end_to_end.sh BIN-DIR PSUMON-TEXTFILE PSUMON-SIM RULES
set -u
bin=$1 textfile=$2 sim=$3 rules=$4
tmp=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null; done
    for pid in $pids; do wait "$pid" 2>/dev/null; done
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM
mkdir "$tmp/collector" "$tmp/tsdb"

fail() {
    echo "$*"
    for log in "$tmp"/*.log; do echo "--- $log"; tail -n 20 "$log"; done
    exit 1
}
get() { curl -fsS --max-time 5 "$1"; }

# NAME URL-PATH COMMAND...: starts a server on a free port of 127.0.0.1
# (@PORT@ in the command), waits until URL-PATH answers; sets $port.
attempts=0
serve() {
    name=$1 path=$2
    shift 2
    tries=0
    while [ $tries -lt 20 ]; do
        port=$((20000 + ($$ + attempts * 7919) % 40000))
        tries=$((tries + 1))
        attempts=$((attempts + 1))
        args=""
        for a in "$@"; do args="$args $(printf '%s' "$a" | sed "s/@PORT@/$port/g")"; done
        # shellcheck disable=SC2086
        $args >"$tmp/$name.log" 2>&1 &
        pid=$!
        pids="$pids $pid"
        waited=0
        while kill -0 "$pid" 2>/dev/null && [ $waited -lt 100 ]; do
            get "http://127.0.0.1:$port$path" >/dev/null 2>&1 && kill -0 "$pid" 2>/dev/null && return 0
            sleep 0.1
            waited=$((waited + 1))
        done
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        grep -q "address already in use" "$tmp/$name.log" || fail "$name did not start"
    done
    fail "$name found no free port"
}

board() {
    printf 'pci 00:1c.0 3b428086\nsuperio 2e\nldn 9 e4 %s\n' "$1" >"$tmp/board.scn"
    HWSIM_SCENARIO=$tmp/board.scn "$textfile" --psumon "$sim" "$tmp/collector" || fail "psumon-textfile failed"
}

board 03
serve node-exporter /metrics "$bin/prometheus-node-exporter" --web.listen-address=127.0.0.1:@PORT@ \
    --collector.disable-defaults --collector.textfile --collector.textfile.directory="$tmp/collector"
exporter=$port
metrics=$(get "http://127.0.0.1:$exporter/metrics")
printf '%s\n' "$metrics" | grep -qx 'hwkit_psu_state{reader="get_x8sie_ln4_power_state",supply="0"} 3' ||
    fail "the node exporter does not serve the state"
printf '%s\n' "$metrics" | grep -qx 'node_textfile_scrape_error 0' || fail "the textfile collector reports an error"

cat >"$tmp/prometheus.yml" <<YML
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files:
  - $rules
scrape_configs:
  - job_name: node
    static_configs:
      - targets: ['127.0.0.1:$exporter']
YML
serve prometheus /-/ready "$bin/prometheus" --config.file="$tmp/prometheus.yml" \
    --storage.tsdb.path="$tmp/tsdb" --web.listen-address=127.0.0.1:@PORT@
api=http://127.0.0.1:$port/api/v1

# The first state must be in Prometheus before the change.
waited=0
until get "$api/query?query=hwkit_psu_state" 2>/dev/null | grep -q '"value":\[[0-9.]*,"3"\]'; do
    waited=$((waited + 1))
    [ $waited -lt 300 ] || fail "Prometheus never saw the first state"
    sleep 0.1
done

changed=$(date +%s)
board 01
waited=0
until get "$api/alerts" 2>/dev/null | grep -q '"alertname":"HwkitPsuStateChanged".*"state":"firing"'; do
    waited=$((waited + 1))
    [ $waited -lt 600 ] || fail "HwkitPsuStateChanged did not fire: $(get "$api/alerts")"
    sleep 0.1
done
echo "HwkitPsuStateChanged fired $(($(date +%s) - changed)) s after the board's change"
get "$api/alerts" | grep -q '"reader":"get_x8sie_ln4_power_state"' || fail "the alert does not name the reader"
get "http://127.0.0.1:$exporter/metrics" | grep -qx 'node_textfile_scrape_error 0' ||
    fail "the textfile collector reports an error"
