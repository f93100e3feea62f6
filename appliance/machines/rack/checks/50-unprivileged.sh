# As user 65534 a kernel that grants root the I/O privilege refuses it
# (EPERM): psumon says so and touches no port, the register tools refuse
# before any port, lampio leaves its port alone.
. /machines/rack/guest-markers.sh
as_nobody() { appliance-run-as 65534 "$@"; }
appliance-ioport outb 0x378 0x5a
mark 0x2e 0x50
as_nobody psumon
echo "psumon: $?"
as_nobody psumon -test
echo "psumon -test: $?"
as_nobody regpeek -y -k 0x87,0x87 0x2e 0x2f
echo "regpeek: $?"
as_nobody regpoke -f -y 0x2ff 0x12
echo "regpoke: $?"
as_nobody jni-harness-i386 lampio /usr/lib/i386-linux-gnu/jni/liblampio.so "$(cat /etc/hwkit/lampio-export)" 2 1
mark 0x2e 0x50
echo "0x378: $(appliance-ioport inb 0x378)"
