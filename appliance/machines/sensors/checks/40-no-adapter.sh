# The same reports without their adapter lines.
sensors -A 'lm75-*' 'lm90-*'
