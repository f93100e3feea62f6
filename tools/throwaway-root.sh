#!/bin/sh
# Runs a command as root in a throwaway copy of this machine's root: an
# overlay whose writable layer is a tmpfs, in a private mount namespace, so
# that whatever the command installs or removes there is gone when it ends
# and the machine itself is never touched.  Each DIR given with -b is the
# machine's own folder inside, writable (where results are to be kept).
# usage: tools/throwaway-root.sh [-b DIR]... -- COMMAND [ARG]...
set -eu
usage="usage: $0 [-b DIR]... -- COMMAND [ARG]..."

if [ "${HWKIT_THROWAWAY_ROOT:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "throwaway-root: needs root" >&2; exit 1; }
    export HWKIT_THROWAWAY_ROOT=1
    exec unshare -m --propagation private "$0" "$@"
fi
unset HWKIT_THROWAWAY_ROOT

binds=""
while [ $# -gt 0 ]; do
    case $1 in
    -b) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
        binds="$binds $(cd "$2" && pwd)"
        shift 2 ;;
    --) shift; break ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }

layers=$(mktemp -d /tmp/hwkit-root.XXXXXX)
mount -t tmpfs throwaway "$layers"
mkdir "$layers/upper" "$layers/work" "$layers/root"
root=$layers/root
mount -t overlay throwaway -o "lowerdir=/,upperdir=$layers/upper,workdir=$layers/work" "$root"
for d in proc sys dev; do
    mount --rbind "/$d" "$root/$d"
done
mount -t tmpfs tmp "$root/tmp"
for d in $binds; do
    mkdir -p "$root$d"
    mount --bind "$d" "$root$d"
done
status=0
chroot "$root" "$@" || status=$?
umount -R -l "$layers"
rmdir "$layers"
exit $status
