// Shared routines of the port register tools: port input and output at a
// chosen access width, the yes/no answer to a question, the numbers of the
// command line, and obtaining access to the ports.
//
// inx and outx neither obtain port permission nor print: the calling tool
// gets its access with get_port_access before it calls them.
#pragma once

// Access width: 2 moves a word, 4 a long, every other value a byte.  Only
// the low 16 bits of a port number are used.

// One input from the port, zero-extended.
unsigned int inx(int port, int width);

// One output to the port: the low byte, the low word or all 32 bits of value.
void outx(unsigned int value, int port, int width);

// Reads the answer to a question the caller has already printed (and
// flushed): 1 for a line beginning with Y or y, 0 for N or n, def for any
// other line, the empty one included.  The end of input (or a read error)
// answers 0, also when it comes after the first character of a line.
int user_ack(int def);

// A number in C notation (decimal, 0x hexadecimal, leading 0 octal) that
// fills its whole argument: 1 if so, else 0.  An empty argument holds none.
// The unsigned form gives a negative number other than 0 as the largest
// unsigned long, which no range holds.
int parse_number(const char *text, long *value);
int parse_unsigned(const char *text, unsigned long *value);

// The first argument tests of both tools: ADDRREG (0 to 0x3FFF), or ADDRESS
// in flat mode (0 to 0xFFFF), and DATAREG (0 to 0x3FFF).  Each prints its
// message and returns 0 when the argument fails, the caller adds its usage.
int parse_address(const char *text, int flat, int *addrreg);
int parse_data_register(const char *text, int *datareg);

// The kit's port lock, held for the tool's whole port-access phase but never
// while it waits for an answer: 1 when taken; 0 after the tool's error line
// when it cannot be had (held elsewhere past the wait, or its file unusable),
// and the tool then stops without touching a port.
int lock_ports(void);
void unlock_ports(void);

// Access to the ports of a register pair, or to all ports in flat mode:
// ioperm for the data register (all the ports a width-wide access reaches)
// and then the address register when they all lie at or below 0x3FF, iopl(3)
// otherwise.  On failure prints the tool's error line and returns 0.
int get_port_access(int flat, int addrreg, int datareg, int width);
