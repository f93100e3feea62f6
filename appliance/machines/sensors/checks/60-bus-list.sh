# One bus statement: the stub's bus holds all three I2C chips.
sensors --bus-list
