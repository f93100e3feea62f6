// Port input and output at an access width, the yes/no answer, the numbers
// of the command line, port access and the port lock.
#include "regtools/util.h"

#include "platform/portio.h"
#include "platform/portlock.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>

// Ports up to here can be opened one by one with ioperm.
static const int IOPERM_LAST_PORT = 0x3FF;
static const long PAIR_LAST_PORT = 0x3FFF;
static const long FLAT_LAST_PORT = 0xFFFF;

unsigned int inx(int port, int width)
{
    unsigned short p = (unsigned short)port;
    switch (width) {
    case 2:
        return io_inw(p);
    case 4:
        return io_inl(p);
    default:
        return io_inb(p);
    }
}

void outx(unsigned int value, int port, int width)
{
    unsigned short p = (unsigned short)port;
    switch (width) {
    case 2:
        io_outw((unsigned short)value, p);
        break;
    case 4:
        io_outl(value, p);
        break;
    default:
        io_outb((unsigned char)value, p);
        break;
    }
}

int user_ack(int def)
{
    int c = getchar();
    if (c == EOF)
        return 0;

    int answer = def;
    if (c == 'Y' || c == 'y')
        answer = 1;
    else if (c == 'N' || c == 'n')
        answer = 0;

    // Only the first character counts; the rest of the line is read away, and
    // a line that the input ends before completing is no answer at all.
    while (c != '\n') {
        c = getchar();
        if (c == EOF)
            return 0;
    }
    return answer;
}

int parse_number(const char *text, long *value)
{
    char *end;
    *value = strtol(text, &end, 0);
    return *text != '\0' && *end == '\0';
}

int parse_unsigned(const char *text, unsigned long *value)
{
    char *end;
    *value = strtoul(text, &end, 0);
    // The conversion negates what follows a minus sign, which would turn
    // -18446744073709551615 into 1: a negative number fits no range.
    const char *sign = text;
    while (isspace((unsigned char)*sign))
        sign++;
    if (*sign == '-' && *value != 0)
        *value = ULONG_MAX;
    return *text != '\0' && *end == '\0';
}

int parse_address(const char *text, int flat, int *addrreg)
{
    long number;
    if (!parse_number(text, &number)) {
        fprintf(stderr, "Error: Invalid address!\n");
        return 0;
    }
    long last_port = flat ? FLAT_LAST_PORT : PAIR_LAST_PORT;
    if (number < 0 || number > last_port) {
        fprintf(stderr, "Error: Address out of range (0x0000-0x%04lx)!\n", last_port);
        return 0;
    }
    *addrreg = (int)number;
    return 1;
}

int parse_data_register(const char *text, int *datareg)
{
    long number;
    if (!parse_number(text, &number)) {
        fprintf(stderr, "Error: Invalid data register!\n");
        return 0;
    }
    if (number < 0 || number > PAIR_LAST_PORT) {
        fprintf(stderr, "Error: Data register out of range (0x0000-0x%04lx)!\n", PAIR_LAST_PORT);
        return 0;
    }
    *datareg = (int)number;
    return 1;
}

// A word or long access to the data register reaches the ports after it too,
// and every one of them must be open.
int get_port_access(int flat, int addrreg, int datareg, int width)
{
    if (flat || addrreg > IOPERM_LAST_PORT || datareg + width - 1 > IOPERM_LAST_PORT) {
        if (io_iopl(3) < 0) {
            fprintf(stderr, "Error: Could not do iopl(3)!\n");
            return 0;
        }
        return 1;
    }
    if (io_ioperm((unsigned long)datareg, (unsigned long)width, 1) < 0) {
        fprintf(stderr, "Error: Could not ioperm() data register!\n");
        return 0;
    }
    if (io_ioperm((unsigned long)addrreg, 1, 1) < 0) {
        fprintf(stderr, "Error: Could not ioperm() address register!\n");
        return 0;
    }
    return 1;
}

int lock_ports(void)
{
    char why[320];
    if (port_lock(why, sizeof why) == 0)
        return 1;
    fprintf(stderr, "Error: %s!\n", why);
    return 0;
}

void unlock_ports(void) { port_unlock(); }
