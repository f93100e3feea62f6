appliance-ipmi-readers x10drli x10drli x10drli
