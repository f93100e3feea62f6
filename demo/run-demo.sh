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
