#!/bin/sh
# Runs the kit's simulated builds on the boards in demo/boards and shows each
# command next to what it printed and its exit status.
# usage: demo/run-demo.sh BUILD-DIR
set -u
build=$(cd "${1:?usage: $0 BUILD-DIR}" && pwd)
boards=$(cd "$(dirname "$0")/boards" && pwd)

run() {
    scenario=$1
    shift
    printf '$ %s\n' "$*"
    prog=$1
    shift
    HWSIM_SCENARIO="$boards/$scenario" "$build/$prog/$prog-sim" "$@" 2>&1
    status=$?
    if [ $status -gt 128 ]; then
        printf '(ended by signal %d)\n\n' $((status - 128))
    else
        printf '(exit status %d)\n\n' $status
    fi
}

board() {
    printf '== %s ==\n' "$1"
    sed -n 's/^# \{0,1\}/  /p' "$boards/$2"
    echo
}

board "X8SIE_LN4, Super-I/O" x8sie_ln4.scn
run x8sie_ln4.scn psumon
run x8sie_ln4.scn psumon -test

board "X11, IPMI OEM request" x11.scn
run x11.scn psumon
run x11.scn psumon -test

board "X10DRL-i, two supplies over IPMI" x10drl-i.scn
run x10drl-i.scn psumon
run x10drl-i.scn psumon -test

board "Unknown board" unknown.scn
run unknown.scn psumon -test

board "X8SIE_LN4, watched" x8sie_ln4-watch.scn
run x8sie_ln4-watch.scn psumon -loop
