#!/bin/sh
# Runs sensors (named by SENSORS_BIN) with a folder as its standard input.
exec "$SENSORS_BIN" "$@" </
