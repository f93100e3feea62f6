#!/bin/sh
# Runs sensors (named by SENSORS_BIN) with the arguments, then shows the
# fixture attributes named in SHOW (hwmonN/ATTRIBUTE ...) as they are after
# it, and exits with its status.
"$SENSORS_BIN" "$@"
status=$?
for a in $SHOW; do
    printf '%s after: %s\n' "$a" "$(cat "/sys/class/hwmon/$a")"
done
exit $status
