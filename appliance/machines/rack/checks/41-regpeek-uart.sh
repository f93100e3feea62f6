# Ports 0x2F0-0x2FF: nothing up to 0x2F7, then the second UART, idle: its
# interrupt identification 0x01, line status 0x60, modem status 0xB0.
appliance-ioport outb 0x2fc 0x00
appliance-ioport outb 0x2ff 0x00
regpeek -f -y 0x2f0 16
