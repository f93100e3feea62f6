#!/bin/sh
# Builds the kit and runs it on the simulated appliance; with "appliance",
# boots the virtual appliance instead (Debian's kernel under QEMU, slower)
# and shows what each tool printed there.
# usage: ./demo.sh [appliance]
set -eu
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh plain
if [ "${1:-}" = appliance ]; then
    exec cmake --build build/plain --target appliance_demo
fi
exec demo/run-demo.sh build/plain
