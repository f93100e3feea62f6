// I/O-port access: the one way our programs reach port-mapped hardware.
//
// The real implementation wraps <sys/io.h> and the iopl/ioperm system calls;
// test builds link the simulated appliance instead.  Values come first and
// ports second, as in <sys/io.h>.  The _p forms follow each access with a
// one-byte write of the value's low byte to port 0x80.
#pragma once

unsigned char io_inb(unsigned short port);
unsigned short io_inw(unsigned short port);
unsigned int io_inl(unsigned short port);
void io_outb(unsigned char value, unsigned short port);
void io_outw(unsigned short value, unsigned short port);
void io_outl(unsigned int value, unsigned short port);

unsigned char io_inb_p(unsigned short port);
unsigned short io_inw_p(unsigned short port);
unsigned int io_inl_p(unsigned short port);
void io_outb_p(unsigned char value, unsigned short port);
void io_outw_p(unsigned short value, unsigned short port);
void io_outl_p(unsigned int value, unsigned short port);

// Both return 0 on success, -1 with errno set on failure.
int io_iopl(int level);
int io_ioperm(unsigned long from, unsigned long num, int turn_on);
