# The same two readers with a keyed Super-I/O dump by regpeek started in the
# middle, between markers: the host finds whole readings and one whole dump,
# one after another.
. /machines/rack/guest-markers.sh
. /machines/rack/superio-readers.sh
mark 0x2e 0x15
readers 1.5 1.5
mark 0x2e 0x15
