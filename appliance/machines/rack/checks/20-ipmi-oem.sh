# The OEM request of the X11 and X9 boards over /dev/ipmi0: the state byte,
# a failed request (completion code 0xD5) as 0 with its message, then the
# next state.
appliance-ipmi-readers x11ds x9ds x11ds x9ds
