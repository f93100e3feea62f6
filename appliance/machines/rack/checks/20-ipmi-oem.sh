appliance-ipmi-readers x11ds x9ds x11ds x9ds
