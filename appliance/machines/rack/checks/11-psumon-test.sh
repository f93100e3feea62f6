psumon -test
