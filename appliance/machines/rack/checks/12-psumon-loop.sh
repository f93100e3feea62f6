# The watch is ended by a signal once its first state is out; what it
# printed up to that state is shown (a slow machine may let the next reading
# of a second later in).  The inner shell's own job notices are dropped.
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
watch -loop
watch -loopex
