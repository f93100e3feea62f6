# Sourced by the guest checks: watch ARG starts "psumon ARG", ends it by a
# signal once its first state is out, and prints what it printed up to that
# state (a slow machine may let the next reading of a second later in) and
# its exit status.  The inner shell's own job notices are dropped.
watch() {
    sh -c '
        psumon "$1" >watch.out 2>&1 &
        pid=$!
        tries=0
        until grep -q "^init power state" watch.out || [ $tries -ge 500 ]; do
            sleep 0.02
            tries=$((tries + 1))
        done
        kill $pid
        wait $pid
        echo $? >watch.status' sh "$1" 2>/dev/null
    sed '/^init power state/q' watch.out
    echo "psumon $1: $(cat watch.status)"
}
