# One reading, between markers: its whole port traffic in QEMU's trace, and
# the bytes captured on 0x2E and 0x2F.
. /machines/rack/guest-markers.sh
mark 0x2f 0x13
mark 0x2e 0x13
psumon
mark 0x2e 0x13
mark 0x2f 0x13
