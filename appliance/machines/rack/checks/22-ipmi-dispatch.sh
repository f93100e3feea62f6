# The dispatch for the X11 and X10DRL-i identifiers, once and three times.
appliance-ipmi-readers flag=0xA1108086 flag=0x8D108086 flagex=0xA1108086 flagex=0x8D108086
