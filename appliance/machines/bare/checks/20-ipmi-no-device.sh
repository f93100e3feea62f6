# No IPMI interface: every request fails at the open and leaves its byte 0.
ls /dev/ipmi* 2>/dev/null
appliance-ipmi-readers x11ds x10drli flag=0xA1108086
