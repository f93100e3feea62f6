# The x86-64 library switches DTR and RTS in the second UART's modem control
# register (set -1, clear 1; LEDs 8 and 16 are DTR and RTS); OUT2 (bit 3)
# must stay as it was.
. /machines/rack/guest-markers.sh
lib=/usr/lib/x86_64-linux-gnu/jni/liblampio.so
led() {
    jni-harness-x86_64 lampio "$lib" "$(cat /etc/hwkit/lampio-export)" "$1" "$2" >/dev/null
    echo "LED $1 $2: $(appliance-ioport inb 0x2fc)"
}
appliance-ioport outb 0x2fc 0x08
echo "before: $(appliance-ioport inb 0x2fc)"
mark 0x2e 0x31
led 8 -1
led 8 -1
led 16 -1
led 8 1
led 16 0
led 16 1
led 2 -1
led 4 -1
mark 0x2e 0x31
