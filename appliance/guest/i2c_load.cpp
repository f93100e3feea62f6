// Preloads the registers of a chip emulated by i2c-stub through the I2C
// device node, before a driver is bound to it.
//
//   appliance-i2c-load /dev/i2c-N ADDRESS FILE
//
// FILE holds one register per line: "b REG VALUE" (a byte) or "w REG VALUE"
// (an SMBus word, low byte first on the bus); '#' starts a comment.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int smbus_write(int fd, int size, int reg, int value)
{
    union i2c_smbus_data data;
    if (size == I2C_SMBUS_BYTE_DATA)
        data.byte = (unsigned char)value;
    else
        data.word = (unsigned short)value;
    struct i2c_smbus_ioctl_data args = {I2C_SMBUS_WRITE, (unsigned char)reg, (unsigned)size, &data};
    return ioctl(fd, I2C_SMBUS, &args);
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: appliance-i2c-load /dev/i2c-N ADDRESS FILE\n");
        return 2;
    }
    char *end = nullptr;
    long address = strtol(argv[2], &end, 0);
    if (!*argv[2] || *end || address < 0x03 || address > 0x77) {
        fprintf(stderr, "appliance-i2c-load: %s: not a 7-bit chip address\n", argv[2]);
        return 2;
    }
    int fd = open(argv[1], O_RDWR);
    if (fd < 0 || ioctl(fd, I2C_SLAVE, address) < 0) {
        fprintf(stderr, "appliance-i2c-load: %s: %s\n", argv[1], strerror(errno));
        return 1;
    }
    FILE *f = fopen(argv[3], "r");
    if (!f) {
        fprintf(stderr, "appliance-i2c-load: %s: %s\n", argv[3], strerror(errno));
        return 1;
    }
    char line[256];
    int number = 0;
    while (fgets(line, sizeof line, f)) {
        number++;
        char *hash = strchr(line, '#');
        if (hash)
            *hash = '\0';
        char kind;
        int reg, value;
        int fields = sscanf(line, " %c %i %i", &kind, &reg, &value);
        if (fields <= 0)
            continue;
        int size = kind == 'b' ? I2C_SMBUS_BYTE_DATA : kind == 'w' ? I2C_SMBUS_WORD_DATA : -1;
        int limit = size == I2C_SMBUS_BYTE_DATA ? 0xFF : 0xFFFF;
        if (fields != 3 || size < 0 || reg < 0 || reg > 0xFF || value < 0 || value > limit) {
            fprintf(stderr, "appliance-i2c-load: %s:%d: not a register line\n", argv[3], number);
            return 1;
        }
        if (smbus_write(fd, size, reg, value) < 0) {
            fprintf(stderr, "appliance-i2c-load: %s:%d: %s\n", argv[3], number, strerror(errno));
            return 1;
        }
    }
    fclose(f);
    close(fd);
    return 0;
}
