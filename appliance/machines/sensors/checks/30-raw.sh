# Every subfeature with the value the library reads from the driver.
sensors -u 'lm90-*' 'lm75-*'
