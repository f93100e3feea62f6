// Super-I/O configuration access keys.
#include "regtools/superio.h"

#include "platform/portio.h"

#include <cstdlib>

static const unsigned char SUPERIO_EXIT_KEY = 0xAA;
static const unsigned char SUPERIO_CONFIG_CONTROL = 0x02;
static const unsigned char SUPERIO_WAIT_FOR_KEY = 0x02;

int superio_parse_key(unsigned char *key, const char *text)
{
    key[0] = 0;
    if (*text == '\0')
        return -1;

    const char *p = text;
    for (;;) {
        char *end;
        long value = strtol(p, &end, 0);
        if (*end != '\0' && *end != ',')
            return -1;
        if (value < 0 || value > 0xFF)
            return -1;
        key[++key[0]] = (unsigned char)value;
        if (key[0] == SUPERIO_KEY_MAX || *end == '\0')
            return 0;
        // It stopped at a comma, which must be followed by something.
        if (end[1] == '\0')
            return -1;
        p = end + 1;
    }
}

void superio_write_key(int addrreg, const unsigned char *key)
{
    for (int i = 1; i <= key[0] && i <= SUPERIO_KEY_MAX; i++)
        io_outb(key[i], (unsigned short)addrreg);
}

void superio_reset(int addrreg, int datareg)
{
    io_outb(SUPERIO_EXIT_KEY, (unsigned short)addrreg);
    io_outb(SUPERIO_CONFIG_CONTROL, (unsigned short)addrreg);
    io_outb(SUPERIO_WAIT_FOR_KEY, (unsigned short)datareg);
}
