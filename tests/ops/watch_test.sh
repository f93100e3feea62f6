#!/bin/sh
# psumon-watch over the simulated psumon's watch on a board whose supply
# fails, flickers and comes back: exactly the banner, board, initial state,
# change and warning lines come out, with their journal priorities, and the
# watch's end (the simulated board ends it with SIGTERM) is its status.
# usage: watch_test.sh PSUMON-WATCH PSUMON-SIM
set -u
watch=$1 sim=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf 'pci 00:1c.0 3b428086\nsuperio 2e\nldn 9 e4 03,03,03,01,01,01,01,03,07,03,03,03\nhalt when-done\n' >"$tmp/board.scn"
got=$(HWSIM_SCENARIO=$tmp/board.scn TMPDIR=$tmp "$watch" --psumon "$sim"; echo "status $?")
expected='<6>psumon v0.5
<6>get_mboard_id, MainBoard type is X8SIE_LN4(0x3B428086) 
<6>init power state is 0x03
<4>state is changed from 0x03 to 0x01(count=0)
<4>warning, 01, 03, 07
<4>state is changed from 0x01 to 0x03(count=1)
status 143'
if [ "$got" != "$expected" ]; then
    printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$got"
    exit 1
fi
left=$(ls -A "$tmp")
[ "$left" = board.scn ] || { echo "left behind: $left"; exit 1; }
