# Busybox's register and bus tools are no commands in the guest: only the
# applets its scripts use are.
for tool in i2cdetect i2cdump i2cget i2cset i2ctransfer devmem; do
    command -v "$tool" || echo "$tool: none"
done
