# The test mode exits with the state read: 0x5A.
psumon -test
