# The X10DRL-i reader asks both supplies; any failing supply gives 1, a
# failed request (0xC1) counts as 0 beside the other supply's state and is
# named on standard error.
appliance-ipmi-readers x10drli x10drli x10drli
