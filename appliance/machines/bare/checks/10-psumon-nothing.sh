# Nothing at 00:1C.0 and nothing at 0x2E/0x2F: every read gives all ones.
psumon
echo "psumon: $?"
psumon -test
echo "psumon -test: $?"
sh -c '
    psumon -loop >watch.out 2>&1 &
    pid=$!
    tries=0
    until grep -q "^init power state" watch.out || [ $tries -ge 500 ]; do
        sleep 0.02
        tries=$((tries + 1))
    done
    kill $pid
    wait $pid
    echo $? >watch.status' 2>/dev/null
sed '/^init power state/q' watch.out
echo "psumon -loop: $(cat watch.status)"
