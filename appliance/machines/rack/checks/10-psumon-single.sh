# The board identifier is a root port's, which is no board of psumon's: the
# Super-I/O reader answers, with the byte the stand-in at 0x2F returns.
psumon
echo "psumon: $?"
psumon 09 E4
echo "psumon 09 E4: $?"
