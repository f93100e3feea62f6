# One reading between markers (0x00) written to both captured ports.
appliance-ioport outb 0x2e 0x00
appliance-ioport outb 0x2f 0x00
psumon
appliance-ioport outb 0x2e 0x00
appliance-ioport outb 0x2f 0x00
