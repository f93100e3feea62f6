# A masked write to the UART's scratch register (0xA5, 0x0F under 0x3C ->
# 0x8D), with both questions answered, then seen by regpeek; a write to the
# modem status register, which keeps its own value, is a mismatch.
appliance-ioport outb 0x2fc 0x00
appliance-ioport outb 0x2ff 0xa5
printf 'y\ny\n' | regpoke -f 0x2ff 0x0f 0x3c
echo "regpoke: $?"
regpoke -f -y 0x2fe 0x12
echo "regpoke: $?"
regpeek -f -y 0x2f0 16
