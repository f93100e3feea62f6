// Port input and output at an access width, and the yes/no answer.
#include "regtools/util.h"

#include "platform/portio.h"

#include <cstdio>

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
