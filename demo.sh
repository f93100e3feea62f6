#!/bin/sh
# Builds the kit and runs it on the simulated appliance.
set -eu
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh plain
exec demo/run-demo.sh build/plain
