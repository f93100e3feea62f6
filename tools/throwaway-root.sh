#!/bin/sh
# Runs a command as root in a throwaway copy of this machine's root: an
# overlay whose writable layer is a tmpfs, in a private mount namespace, so
# that whatever the command installs or removes there is gone when it ends
# and the machine itself is never touched.  Each DIR given with -b is the
# machine's own folder inside, writable (where results are to be kept).
# usage: tools/throwaway-root.sh [-b DIR]... -- COMMAND [ARG]...
set -eu
usage="usage: $0 [-b DIR]... -- COMMAND [ARG]..."
nl='
'

[ "$(id -u)" -eq 0 ] || { echo "throwaway-root: needs root" >&2; exit 1; }
if [ "${HWKIT_THROWAWAY_ROOT:-}" != 1 ]; then
    export HWKIT_THROWAWAY_ROOT=1
    exec unshare -m --propagation private "$0" "$@"
fi
unset HWKIT_THROWAWAY_ROOT

# The variable only says that unshare started this copy: it may as well have
# been inherited.  Mount nothing unless this process has a mount namespace
# of its own: not its caller's (unshare ran in this very process, so the
# caller is the parent), nor the init's where that can be seen (a container
# may hide it).
own=$(readlink /proc/self/ns/mnt)
caller=$(readlink "/proc/$PPID/ns/mnt") || caller=""
init=$(readlink /proc/1/ns/mnt 2>/dev/null) || init=""
if [ -z "$caller" ] || [ "$own" = "$caller" ] || [ "$own" = "$init" ]; then
    echo "throwaway-root: not in a mount namespace of its own; nothing done" >&2
    exit 1
fi
# Nothing mounted here propagates to any other namespace.
mount --make-rprivate /

binds=""
while [ $# -gt 0 ]; do
    case $1 in
    -b) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
        binds="$binds$(cd "$2" && pwd)$nl"
        shift 2 ;;
    --) shift; break ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }

layers=$(mktemp -d /tmp/hwkit-root.XXXXXX)
# The mount point is a folder of the machine's /tmp: removed however this ends.
trap 'if mountpoint -q "$layers"; then umount -R -l "$layers" || :; fi; rmdir "$layers"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

mount -t tmpfs throwaway "$layers"
mkdir "$layers/upper" "$layers/work" "$layers/root"
root=$layers/root
mount -t overlay throwaway -o "lowerdir=/,upperdir=$layers/upper,workdir=$layers/work" "$root"
# The binds are slaves: mounts made under them inside never reach the
# machine's folders.
for d in proc sys dev; do
    mount --rbind "/$d" "$root/$d"
    mount --make-rslave "$root/$d"
done
mount -t tmpfs tmp "$root/tmp"
old_ifs=$IFS
IFS=$nl
for d in $binds; do
    mkdir -p "$root$d"
    mount --bind "$d" "$root$d"
    mount --make-rslave "$root$d"
done
IFS=$old_ifs
status=0
chroot "$root" "$@" || status=$?
exit $status
