# Sourced by the shell tests: expect WHAT EXPECTED ACTUAL prints both when
# they differ and counts the failure; the test ends with [ $failures -eq 0 ].
failures=0
expect() {
    if [ "$2" != "$3" ]; then
        printf '%s:\nexpected:\n%s\ngot:\n%s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}
