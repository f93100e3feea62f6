# The X10DRL-i reader when the first supply's read is refused (0x83): the
# failed request is named on standard error, its byte stays 0 beside the
# second supply's 00.  Then "psumon -test" as it runs on that board.
appliance-ipmi-readers x10drli
appliance-ipmi-readers test-as=0x8D108086
echo "psumon -test on an X10DRL-i: $?"
