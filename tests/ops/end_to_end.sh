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
# shellcheck source=servers.sh
. "$(dirname "$0")/servers.sh"

board() {
    printf 'pci 00:1c.0 3b428086\nsuperio 2e\nldn 9 e4 %s\n' "$1" >"$tmp/board.scn"
    HWSIM_SCENARIO=$tmp/board.scn "$textfile" --psumon "$sim" "$tmp/collector" || fail "psumon-textfile failed"
}

board 03
textfile_exporter "$bin"
metrics=$(get "http://127.0.0.1:$exporter/metrics")
printf '%s\n' "$metrics" | grep -qx 'hwkit_psu_state{reader="get_x8sie_ln4_power_state",supply="0"} 3' ||
    fail "the node exporter does not serve the state"
printf '%s\n' "$metrics" | grep -qx 'node_textfile_scrape_error 0' || fail "the textfile collector reports an error"

prometheus "$bin" "$exporter" "$rules"

# The first state must be in Prometheus before the change.
await "$api/query?query=hwkit_psu_state" '"value":\[[0-9.]*,"3"\]' 30 "Prometheus never saw the first state"

changed=$(date +%s)
board 01
await "$api/alerts" '"alertname":"HwkitPsuStateChanged".*"state":"firing"' 60 "HwkitPsuStateChanged did not fire"
echo "HwkitPsuStateChanged fired $(($(date +%s) - changed)) s after the board's change"
get "$api/alerts" | grep -q '"reader":"get_x8sie_ln4_power_state"' || fail "the alert does not name the reader"
get "http://127.0.0.1:$exporter/metrics" | grep -qx 'node_textfile_scrape_error 0' ||
    fail "the textfile collector reports an error"
