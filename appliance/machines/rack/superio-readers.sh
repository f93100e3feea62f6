# Sourced by the guest checks: readers SECONDS [SECONDS_AFTER] runs psumon's
# watch (-loopex: three Super-I/O readings a second) beside single checks
# (psumon) started back to back, for SECONDS seconds; with SECONDS_AFTER, a
# keyed Super-I/O dump (regpeek) starts after SECONDS and the two readers go
# on for SECONDS_AFTER more.  Nothing is cut short in the middle of its port
# accesses: the single checks stop between two runs, the dump runs to its
# end, and the watch is killed just after the third reading of a poll, at the
# start of its one-second sleep.
#
# It prints what does not depend on how often the readers ran: the watch's
# first poll, every different line of its later polls, its exit status; the
# different readings of the single checks; the dump and its status.  The
# inner shell's own job notices are dropped.
readers() {
    rm -f watch.out watch.status singles.out singles.stop dump.out dump.status
    sh -c '
        psumon -loopex >watch.out 2>&1 &
        watch=$!
        (while [ ! -e singles.stop ]; do psumon; done) >singles.out 2>&1 &
        singles=$!
        sleep "$1"
        if [ -n "$2" ]; then
            regpeek -y -k 0x87,0x87 0x2e 0x2f >dump.out 2>&1 &
            dump=$!
            sleep "$2"
            wait $dump
            echo $? >dump.status
        fi
        touch singles.stop
        wait $singles
        # The watch prints one line per reading; the third of a poll is
        # followed by a second of sleep.
        before=$(grep -c "^Function" watch.out)
        tries=0
        until now=$(grep -c "^Function" watch.out)
            { [ "$now" -gt "$before" ] && [ $((now % 3)) -eq 0 ]; } || [ $tries -ge 250 ]; do
            sleep 0.02
            tries=$((tries + 1))
        done
        kill $watch
        wait $watch
        echo $? >watch.status' sh "$1" "${2:-}" 2>/dev/null
    sed '/^init power state/q' watch.out
    echo "later polls:"
    sed '1,/^init power state/d' watch.out | sort -u
    echo "psumon -loopex: $(cat watch.status)"
    readings=$(grep -c . singles.out)
    [ "$readings" -ge 10 ] && readings="ten or more"
    echo "single checks, $readings:"
    sort -u singles.out
    if [ -n "${2:-}" ]; then
        cat dump.out
        echo "regpeek: $(cat dump.status)"
    fi
}
