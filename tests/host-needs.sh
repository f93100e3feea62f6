#!/bin/sh
# What some tests need from the machine beyond the packages that
# tools/install-deps.sh installs.  With a NEED: status 0 when the machine has
# it, otherwise the reason on standard output and status 1; the tests that
# need it skip themselves with that reason.  Without one: a line for every
# need the machine lacks, with what is skipped for it (the test command
# prints them before the tests run).
# usage: tests/host-needs.sh [root|mount-namespace|nobody-user-namespace]
set -u

has() {
    case $1 in
    root)
        [ "$(id -u)" -eq 0 ] && return 0
        echo "the tests run as uid $(id -u), not as root: the port register tools refuse other users, and only root can run a program as user nobody"
        ;;
    mount-namespace)
        if [ "$(id -u)" -eq 0 ]; then
            unshare -m --propagation private true 2>/dev/null && return 0
        fi
        why=$(unshare -r -m --propagation private true 2>&1) && return 0
        echo "no private mount namespace for the fixture hwmon trees here: $why"
        ;;
    nobody-user-namespace)
        has root >/dev/null || { echo "only root can run a program as user nobody"; return 1; }
        why=$(setpriv --reuid=65534 --regid=65534 --clear-groups unshare -r -m --propagation private true 2>&1) &&
            return 0
        echo "no user namespace for user nobody here: $why"
        ;;
    *)
        echo "usage: $0 [root|mount-namespace|nobody-user-namespace]" >&2
        exit 2
        ;;
    esac
    return 1
}

if [ $# -eq 1 ]; then
    has "$1"
    exit
fi
[ $# -eq 0 ] || has usage
for need in root mount-namespace nobody-user-namespace; do
    case $need in
    root) tests="the port register tools' program tests and every test run as user nobody" ;;
    mount-namespace) tests="the sensors cases" ;;
    nobody-user-namespace) tests="the sensors report of a normal user" ;;
    esac
    why=$(has "$need") || echo "skipped on this machine: $tests ($why)"
done
exit 0
