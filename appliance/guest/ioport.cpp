// The guest's own port access for the appliance checks: sets up and reads
// back the registers the kit's tools work on, writes markers into captured
// ports, and ends the machine.
//
//   appliance-ioport inb PORT
//   appliance-ioport outb PORT VALUE
//   appliance-ioport exit          ends QEMU through its isa-debug-exit port
#include "platform/portio.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const unsigned short DEBUG_EXIT_PORT = 0xF4;

static bool number(const char *text, unsigned long limit, unsigned long *value)
{
    char *end = nullptr;
    errno = 0;
    *value = strtoul(text, &end, 0);
    return *text && !*end && errno == 0 && *value <= limit;
}

int main(int argc, char **argv)
{
    unsigned long port = 0, value = 0;
    bool inb = argc == 3 && !strcmp(argv[1], "inb") && number(argv[2], 0xFFFF, &port);
    bool outb = argc == 4 && !strcmp(argv[1], "outb") && number(argv[2], 0xFFFF, &port) &&
                number(argv[3], 0xFF, &value);
    bool quit = argc == 2 && !strcmp(argv[1], "exit");
    if (!inb && !outb && !quit) {
        fprintf(stderr, "usage: appliance-ioport inb PORT | outb PORT VALUE | exit\n");
        return 2;
    }
    if (io_iopl(3) < 0) {
        fprintf(stderr, "appliance-ioport: iopl(3): %s\n", strerror(errno));
        return 1;
    }
    if (inb)
        printf("0x%02x\n", io_inb((unsigned short)port));
    else if (outb)
        io_outb((unsigned char)value, (unsigned short)port);
    else
        io_outb(0, DEBUG_EXIT_PORT);
    return 0;
}
