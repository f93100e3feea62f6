# Temperatures and their limits in degrees Fahrenheit.
sensors -f 'lm75-*' 'lm90-*'
