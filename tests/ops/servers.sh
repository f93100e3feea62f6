# Sourced by the end-to-end tests: a scratch folder $tmp (with collector/
# for the node exporter), removed at the end with every server started by
# serve; fail, get, serve, prometheus, textfile_exporter and await.
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

# BIN-DIR EXPORTER-PORT RULES: Prometheus scraping the node exporter every
# second with the rules loaded; sets $api, its HTTP API.
prometheus() {
    cat >"$tmp/prometheus.yml" <<YML
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files:
  - $3
scrape_configs:
  - job_name: node
    static_configs:
      - targets: ['127.0.0.1:$2']
YML
    serve prometheus /-/ready "$1/prometheus" --config.file="$tmp/prometheus.yml" \
        --storage.tsdb.path="$tmp/tsdb" --web.listen-address=127.0.0.1:@PORT@
    # shellcheck disable=SC2034 # used by the sourcing test
    api=http://127.0.0.1:$port/api/v1
}

# BIN-DIR: the node exporter with its textfile collector alone, over
# $tmp/collector; sets $exporter, its port.
textfile_exporter() {
    serve node-exporter /metrics "$1/prometheus-node-exporter" --web.listen-address=127.0.0.1:@PORT@ \
        --collector.disable-defaults --collector.textfile --collector.textfile.directory="$tmp/collector"
    # shellcheck disable=SC2034 # used by the sourcing test
    exporter=$port
}

# URL PATTERN SECONDS WHAT: waits until what URL answers matches PATTERN
# (grep), at most SECONDS; else fails with WHAT and the last answer.
await() {
    waited=0
    until get "$1" 2>/dev/null | grep -q "$2"; do
        waited=$((waited + 1))
        [ $waited -lt $(($3 * 10)) ] || fail "$4: $(get "$1")"
        sleep 0.1
    done
}
