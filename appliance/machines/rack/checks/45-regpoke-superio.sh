# Writes through the register pair at the stand-ins: plain, and under the
# mask 0x3C over the old 0x5A (-> 0x4E); the stand-in keeps nothing, so each
# read-back is a mismatch.  Then a word: the stand-in is a one-byte device,
# and QEMU refuses a 16-bit access to it as a whole (the write is dropped,
# the read gives 0).
. /machines/rack/guest-markers.sh
mark 0x2e 0x45
regpoke -y 0x2e 0x2f 0xe4 0x12
regpoke -y 0x2e 0x2f 0xe4 0x0f 0x3c
regpoke -y -W 0x2e 0x2f 0xe5 0x1234
mark 0x2e 0x45
