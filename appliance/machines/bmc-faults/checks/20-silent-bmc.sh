# The X11 reader's request to a BMC that never answers it, timed (reported):
# what comes back is a timeout (completion code 0xC3), named on standard
# error, and state 0.
appliance-time appliance-ipmi-readers x11ds
