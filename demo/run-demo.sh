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

# The sensor report tool over a fixture tree.
"$(dirname "$0")/sensors-demo.sh" "$build"

# The JNI libraries, loaded by a real JVM (x86-64 test builds on the simulated appliance).
. "$build/java-paths.sh"
printf '== LEDs through a real JVM ==\n'
sed -n 's/^# \{0,1\}/  /p' "$boards/leds.scn"
echo
trace=$(mktemp)
for variant in 2FC 378; do
    if [ $variant = 2FC ]; then dir=$LAMPIO_2FC_DIR calls="8 -1 16 -1 8 1"; else dir=$LAMPIO_378_DIR calls="8 1 16 1 8 -1"; fi
    printf '$ java LedCalls %s    # LEDContral.parallelLED(led, state) per pair, 0x%s variant\n' "$calls" $variant
    : >"$trace"
    # shellcheck disable=SC2086
    HWSIM_SCENARIO="$boards/leds.scn" HWSIM_TRACE="$trace" \
        "$JAVA" -Djava.library.path="$dir" -cp "$JAVA_CLASSES" LedCalls $calls
    echo "port traffic:"
    sed 's/^/  /' "$trace"
    echo
done
rm -f "$trace"

printf '== A shell command through a real JVM ==\n'
printf '$ java HostExecCalls "echo hello from \\$SHELL_NAME | tr a-z A-Z"\n'
SHELL_NAME=hostexec "$JAVA" -Djava.library.path="$HOSTEXEC_DIR" -cp "$JAVA_CLASSES" HostExecCalls \
    'echo hello from $SHELL_NAME | tr a-z A-Z'

# The port register tools (simulated builds), on a Super-I/O chip and a
# stretch of ports. The register write leaves its state for the dump after it.
regscn=$(cd "$(dirname "$0")" && pwd)/regtools.scn
regstate=$(mktemp)
regtrace=$(mktemp)
printf '== Port register tools ==\n'
sed -n 's/^# \{0,1\}/  /p' "$regscn"
echo

# regrun SCENARIO INPUT TOOL ARGS...: runs the tool's simulated build with INPUT
# on standard input; the registers it leaves go to $regstate, its port traffic
# to $regtrace.
regrun() {
    scenario=$1 input=$2 tool=$3
    shift 3
    if [ -n "$input" ]; then
        printf '$ printf %s | %s %s\n' "'$(printf '%s' "$input" | sed 's/$/\\n/' | tr -d '\n')'" "$tool" "$*"
    else
        printf '$ %s %s\n' "$tool" "$*"
    fi
    : >"$regtrace"
    output=$(printf '%s' "$input" | HWSIM_SCENARIO=$scenario HWSIM_STATE=$regstate HWSIM_TRACE=$regtrace \
        "$build/regtools/$tool-sim" "$@" 2>&1)
    status=$?
    # Each answer shown after its question, as a terminal would echo it.
    printf '%s\n' "$output" | awk -v answers="$input" '
        BEGIN { split(answers, answer, "\n") }
        { while ((i = index($0, "Continue? [Y/n] ")) > 0) {
              print substr($0, 1, i + 15) answer[++k]
              $0 = substr($0, i + 16)
          }
          if ($0 != "") print }'
    printf '(exit status %d)\n\n' $status
}

regrun "$regscn" "y
" regpeek -k 0x87,0x87 0x2e 0x2f 9
printf 'port traffic: %d accesses, taken under the port lock; the first and last lines:\n' \
    "$(grep -c -v -e '^lock' -e '^unlock' "$regtrace")"
head -n 14 "$regtrace" | sed 's/^/  /'
echo '  ...'
tail -n 8 "$regtrace" | sed 's/^/  /'
echo

regrun "$regscn" "" regpeek -y -f 0x290 16
regrun "$regscn" "y
y
" regpoke -f 0x298 0x0f 0x3c
printf 'port traffic:\n'
sed 's/^/  /' "$regtrace"
echo
cp "$regstate" "$regtrace.scn"
regrun "$regtrace.scn" "" regpeek -y -f 0x290 16
rm -f "$regstate" "$regtrace" "$regtrace.scn"
