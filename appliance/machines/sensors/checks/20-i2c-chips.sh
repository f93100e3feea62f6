# The three chips on the SMBus stub in full: voltages, fans, temperatures
# with their limits, VID, alarms and an open diode.  The guest has no
# configuration file, so labels and values are the drivers' own, and no
# locale, so a blank stands for the degree sign.
sensors 'lm90-i2c-*-4c' 'lm75-i2c-*-48' 'lm85-i2c-*-2e'
