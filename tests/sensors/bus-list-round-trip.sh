#!/bin/sh
# Runs sensors (named by SENSORS_BIN) with --bus-list and shows its
# statements, then runs it with the arguments on a configuration made of
# those statements followed by standard input, and exits with its status.
statements=$("$SENSORS_BIN" --bus-list) || exit
printf '%s\n' "$statements"
{
    printf '%s\n' "$statements"
    cat
} | "$SENSORS_BIN" -c - "$@"
