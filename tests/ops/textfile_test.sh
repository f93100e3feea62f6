#!/bin/sh
# psumon-textfile over the simulated psumon on simulated boards: the file's
# exact content (the timestamp masked, and checked to lie within the run)
# for each way a read ends; a bad option and an unwritable folder keep the
# previous file; no temporary file is ever left behind.
# usage: textfile_test.sh PSUMON-TEXTFILE PSUMON-SIM
set -u
textfile=$1 sim=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 0755 "$tmp"
dir=$tmp/collector
mkdir "$dir"
. "$(dirname "$0")/../support/expect.sh"

# CASE SCENARIO-LINES EXPECTED [ERRORS]: one run, its status and the file,
# the timestamp's value replaced by T, and what it said on standard error.
run_case() {
    printf '%s\n' "$2" >"$tmp/board.scn"
    start=$(date +%s)
    HWSIM_SCENARIO=$tmp/board.scn "$textfile" --psumon "$sim" "$dir" 2>"$tmp/errors"
    status=$?
    expect "$1: standard error" "${4:-}" "$(cat "$tmp/errors")"
    end=$(date +%s)
    stamp=$(sed -n 's/^hwkit_psu_read_timestamp_seconds{[^}]*} //p' "$dir/psumon.prom")
    if [ -z "$stamp" ] || [ "$stamp" -lt "$start" ] || [ "$stamp" -gt "$end" ]; then
        expect "$1: timestamp within the run" "$start..$end" "$stamp"
    fi
    expect "$1" "status 0
$3" "status $status
$(sed 's/^\(hwkit_psu_read_timestamp_seconds{[^}]*}\) .*/\1 T/' "$dir/psumon.prom")"
    expect "$1: files in the folder" "psumon.prom" "$(ls -A "$dir")"
}

help_ok='# HELP hwkit_psu_read_ok Whether psumon read the power-supply state (1) or failed (0).
# TYPE hwkit_psu_read_ok gauge'
help_time='# HELP hwkit_psu_read_timestamp_seconds When the last read of the power-supply state ended.
# TYPE hwkit_psu_read_timestamp_seconds gauge'
help_state='# HELP hwkit_psu_state Power-supply state byte as the board reports it, uninterpreted (psumon -test).
# TYPE hwkit_psu_state gauge'
failed() {
    printf '%s\nhwkit_psu_read_ok{reader="%s"} 0\n%s\nhwkit_psu_read_timestamp_seconds{reader="%s"} T' \
        "$help_ok" "$1" "$help_time" "$1"
}
read_ok() {
    printf '%s\nhwkit_psu_read_ok{reader="%s"} 1\n%s\nhwkit_psu_read_timestamp_seconds{reader="%s"} T' \
        "$help_ok" "$1" "$help_time" "$1"
}

run_case "Super-I/O board" "pci 00:1c.0 3b428086
superio 2e
ldn 9 e4 a5" "$help_state
hwkit_psu_state{reader=\"get_x8sie_ln4_power_state\",supply=\"0\"} 165
$(read_ok get_x8sie_ln4_power_state)"

run_case "X11 board" "pci 00:1c.0 a1108086
bmc reply 30 92 00 05" "$help_state
hwkit_psu_state{reader=\"get_x11ds_power_state\",supply=\"0\"} 5
$(read_ok get_x11ds_power_state)"

run_case "X10DRL-i board, one supply failing" "pci 00:1c.0 8d108086
bmc mwr b2 00 40
bmc mwr b0 00 00" "$help_state
hwkit_psu_state{reader=\"get_x10drli_power_state\",supply=\"0xb2\"} 64
hwkit_psu_state{reader=\"get_x10drli_power_state\",supply=\"0xb0\"} 0
$(read_ok get_x10drli_power_state)"

# A BMC that refuses the request, or a supply that stopped answering: no
# reading, no state sample, and psumon's reason reaches the journal.
run_case "X11 board, completion code C1" "pci 00:1c.0 a1108086
bmc reply 30 92 c1" "$(failed get_x11ds_power_state)" \
    "psumon: IPMI request 30/92 failed: completion code C1 (invalid command)"
run_case "X10DRL-i board, a supply not answering" "pci 00:1c.0 8d108086
bmc mwr b2 83
bmc mwr b0 00 00" "$(failed get_x10drli_power_state)" \
    "psumon: IPMI request 06/52 (07 B2 01 79) failed: completion code 83 (NAK on write)"

run_case "I/O privilege refused" "pci 00:1c.0 a1108086
iopl deny" "$(failed unknown)" "psumon: Error: Could not do iopl(3): Operation not permitted"
run_case "no IPMI device" "pci 00:1c.0 a1108086" "$(failed get_x11ds_power_state)" \
    "psumon: Could not open ipmi device: No such file or directory"
run_case "a failing IPMI request" "pci 00:1c.0 a1108086
bmc reply 30 92 00 05
bmc fail select EIO" "$(failed get_x11ds_power_state)" "psumon: I/O Error: Input/output error"

printf '#!/bin/sh\nexec sleep 60\n' >"$tmp/hanging-psumon"
chmod +x "$tmp/hanging-psumon"
start=$(date +%s)
"$textfile" --psumon "$tmp/hanging-psumon" "$dir"
expect "a psumon that hangs: status" 0 $?
expect "a psumon that hangs: within the limit" yes "$([ $(($(date +%s) - start)) -le 15 ] && echo yes)"
expect "a psumon that hangs" "$(failed unknown)" \
    "$(sed 's/^\(hwkit_psu_read_timestamp_seconds{[^}]*}\) .*/\1 T/' "$dir/psumon.prom")"

# The previous file stays when psumon-textfile refuses or cannot write.
before=$(cat "$dir/psumon.prom")
expect "a bad option" "psumon-textfile: unknown option -x
usage: psumon-textfile [--psumon PROGRAM] [DIRECTORY]
status 1" "$("$textfile" -x "$dir" 2>&1; echo "status $?")"
expect "--psumon without a program" "psumon-textfile: --psumon needs a program
usage: psumon-textfile [--psumon PROGRAM] [DIRECTORY]
status 1" "$("$textfile" --psumon 2>&1; echo "status $?")"
chmod 0555 "$dir"
# User nobody runs a copy: the checkout may lie where nobody cannot reach.
cp "$textfile" "$tmp/psumon-textfile"
chmod 0755 "$tmp/psumon-textfile"
unwritable=$(HWSIM_SCENARIO=$tmp/board.scn setpriv --reuid=65534 --regid=65534 --clear-groups -- \
    "$tmp/psumon-textfile" --psumon "$sim" "$dir" 2>&1; echo "status $?")
chmod 0755 "$dir"
expect "an unwritable folder" "psumon-textfile: cannot write in $dir
status 1" "$unwritable"
expect "the previous file" "$before" "$(cat "$dir/psumon.prom")"
expect "files in the folder at the end" "psumon.prom" "$(ls -A "$dir")"

# A psumon that prints two state lines gives no reading, and a file the
# collector still takes: one reader, the first named.
printf '#!/bin/sh\nprintf "psumon v0.5\\nFunction[get_x11ds_power_state] state= 05\\nFunction[get_x9ds_power_state] state= 06\\n"\n' \
    >"$tmp/two-lines-psumon"
chmod +x "$tmp/two-lines-psumon"
"$textfile" --psumon "$tmp/two-lines-psumon" "$dir"
expect "a psumon with two state lines" "$(failed get_x11ds_power_state)" \
    "$(sed 's/^\(hwkit_psu_read_timestamp_seconds{[^}]*}\) .*/\1 T/' "$dir/psumon.prom")"

# A folder that another user may change is refused before anything is made
# in it: otherwise that user could swap the temporary file's name for a link
# while psumon runs, and the root-run writer would write and chmod whatever
# the link names.  The stand-in psumon below makes that swap, as user nobody,
# at exactly that moment.
victim=$tmp/victim
printf 'secret\n' >"$victim"
chmod 0600 "$victim"
cat >"$tmp/swapping-psumon" <<END
#!/bin/sh
for f in "\$COLLECTOR"/.psumon.prom.*; do
    setpriv --reuid=65534 --regid=65534 --clear-groups -- \\
        sh -c 'rm -f "\$1" && ln -s "\$2" "\$1"' sh "\$f" "$victim" 2>/dev/null
done
printf 'psumon v0.5\nFunction[get_x8sie_ln4_power_state] state= 05\n'
END
chmod 0755 "$tmp/swapping-psumon"
# FOLDER: one run of the writer with the swapping psumon, its output and status.
swap_run() {
    COLLECTOR=$1 "$textfile" --psumon "$tmp/swapping-psumon" "$1" 2>&1
    echo "status $?"
}
for case in "owned by another user:65534:0755" "writable by its group:0:0775" \
    "writable by all, not sticky:0:0777"; do
    what=${case%%:*} owner=${case#*:} mode=${owner#*:} owner=${owner%%:*}
    folder=$tmp/unsafe
    mkdir "$folder"
    echo previous >"$folder/psumon.prom"
    chown "$owner" "$folder"
    chmod "$mode" "$folder"
    expect "a folder $what" "psumon-textfile: cannot write in $folder
status 1" "$(swap_run "$folder")"
    expect "a folder $what: the previous file" "previous" "$(cat "$folder/psumon.prom")"
    expect "a folder $what: files in it" "psumon.prom" "$(ls -A "$folder")"
    rm -rf "$folder"
done
expect "the file the link would have named" "secret
-rw-------" "$(cat "$victim"; stat -c %A "$victim")"

# A sticky folder (as /tmp): the other user cannot touch root's names there.
sticky=$tmp/sticky
mkdir "$sticky"
chmod 1777 "$sticky"
expect "a sticky folder" "status 0" "$(swap_run "$sticky")"
expect "a sticky folder: the reading" "hwkit_psu_state{reader=\"get_x8sie_ln4_power_state\",supply=\"0\"} 5" \
    "$(grep '^hwkit_psu_state{' "$sticky/psumon.prom")"
expect "a sticky folder: the file is the writer's own" "-rw-r--r--" "$(stat -c %A "$sticky/psumon.prom")"
# A safe folder reached through a link.
ln -s "$dir" "$tmp/collector-link"
expect "a link to a safe folder" "status 0" "$(swap_run "$tmp/collector-link")"
expect "the file the link would have named, at the end" "secret
-rw-------" "$(cat "$victim"; stat -c %A "$victim")"

[ $failures -eq 0 ]
