#include "platform/portio.h"

#include <sys/io.h>

unsigned char io_inb(unsigned short port) { return inb(port); }
unsigned short io_inw(unsigned short port) { return inw(port); }
unsigned int io_inl(unsigned short port) { return inl(port); }
void io_outb(unsigned char value, unsigned short port) { outb(value, port); }
void io_outw(unsigned short value, unsigned short port) { outw(value, port); }
void io_outl(unsigned int value, unsigned short port) { outl(value, port); }

unsigned char io_inb_p(unsigned short port) { return inb_p(port); }
unsigned short io_inw_p(unsigned short port) { return inw_p(port); }
unsigned int io_inl_p(unsigned short port) { return inl_p(port); }
void io_outb_p(unsigned char value, unsigned short port) { outb_p(value, port); }
void io_outw_p(unsigned short value, unsigned short port) { outw_p(value, port); }
void io_outl_p(unsigned int value, unsigned short port) { outl_p(value, port); }

int io_iopl(int level) { return iopl(level); }
int io_ioperm(unsigned long from, unsigned long num, int turn_on) { return ioperm(from, num, turn_on); }
