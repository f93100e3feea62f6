# The i386 library switches bits of the parallel port's data register (set 1,
# clear -1); the port is read back after every call.
. /machines/rack/guest-markers.sh
lib=/usr/lib/i386-linux-gnu/jni/liblampio.so
led() {
    jni-harness-i386 lampio "$lib" "$(cat /etc/hwkit/lampio-export)" "$1" "$2" >/dev/null
    echo "LED $1 $2: $(appliance-ioport inb 0x378)"
}
appliance-ioport outb 0x378 0xa5
echo "before: $(appliance-ioport inb 0x378)"
mark 0x2e 0x30
led 2 1
led 2 1
led 4 -1
led 4 -1
led 1 0
led 8 1
led 16 1
led 0x80 -1
led 0x100 1
mark 0x2e 0x30
