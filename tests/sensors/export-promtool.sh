#!/bin/sh
# promtool's check of sensors-export's Prometheus output over the fixture
# appliance of the export tests: every class, alarms, read errors, hostile
# label texts and two chips of one name.
# usage: export-promtool.sh PROMTOOL SENSORS-EXPORT
set -u
here=$(cd "$(dirname "$0")" && pwd)
why=$("$here/../host-needs.sh" mount-namespace) || { echo "skipped: $why"; exit 77; }
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$here/fixture-run.sh" "$here/fixtures/export.hw" "$here/fixtures/empty.conf" "$2" \
    --prometheus -c "$here/fixtures/export.conf" >"$out" || exit 1
"$1" check metrics <"$out" || exit 1
echo "ok: $(grep -c -v '^#' "$out") samples"
