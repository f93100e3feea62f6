// Shared routines of the port register tools: port input and output at a
// chosen access width, and the yes/no answer to a question.
//
// None of these obtains port permission or prints anything: the calling tool
// raises its I/O privilege or opens its ports before it calls inx or outx.
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
