# One request of the X11 reader as the kernel's IPMI driver sees it: every
# system call from the open of the device to its close, and nothing else
# (the addresses of the reader's buffers masked).
strace -qq -o trace appliance-ipmi-readers x11ds >/dev/null
sed -n '/ipmi0/,/^close(3)/p' trace | sed -E -e 's/, 0x[0-9a-f]+\)/, BUFFER)/' -e 's/\) +=/) =/'
