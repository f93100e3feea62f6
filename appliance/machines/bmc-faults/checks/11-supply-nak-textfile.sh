# psumon-textfile, as shipped, over "psumon -test" on an X10DRL-i whose first
# supply's read is refused: psumon's message goes on to its standard error,
# and the file says the read failed, without a state (the time masked).
# The wrapper, run with -test, is psumon -test as it runs on that board.
printf '%s\n' '#!/bin/sh' 'exec appliance-ipmi-readers test-as=0x8D108086' >psumon-x10drli
chmod 755 psumon-x10drli
psumon-textfile --psumon /tmp/psumon-x10drli /tmp
echo "psumon-textfile: $?"
sed 's/^\(hwkit_psu_read_timestamp_seconds{.*}\) [0-9][0-9]*$/\1 TIME/' psumon.prom
