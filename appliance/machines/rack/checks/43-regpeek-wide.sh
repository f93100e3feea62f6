# Words and longs over the same ports: QEMU splits each into byte accesses,
# low port first.
appliance-ioport outb 0x2fc 0x00
appliance-ioport outb 0x2ff 0x5a
regpeek -f -y -W 0x2f0 16
regpeek -f -y -L 0x2f0 16
