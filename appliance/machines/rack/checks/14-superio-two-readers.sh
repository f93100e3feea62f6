# Two readers of the Super-I/O chip at once, between markers: psumon's watch
# and single checks one after another, for three seconds.  Every reading
# gives 0x5A; the host finds the accesses to 0x2E/0x2F one whole reading
# after another, never two readings' accesses interleaved.
. /machines/rack/guest-markers.sh
. /machines/rack/superio-readers.sh
mark 0x2e 0x14
readers 3
mark 0x2e 0x14
