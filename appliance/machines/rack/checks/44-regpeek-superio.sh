# A Super-I/O dump with a key and a bank through the stand-ins at 0x2E/0x2F:
# every data read gives 0x5A, and the index register reads 0x80, the mark of
# a chip with 128 registers.
. /machines/rack/guest-markers.sh
mark 0x2e 0x44
regpeek -y -k 0x87,0x87 0x2e 0x2f 3
mark 0x2e 0x44
