# A single Super-I/O check, timed from its start to its end (reported, not
# judged): its floor is the two 10 ms settling sleeps.
appliance-time psumon
