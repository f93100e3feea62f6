// The report module of sensors: the formatted and the raw report of one chip,
// and the two settings that the command line decides for every report.
#pragma once

#include <sensors/sensors.h>

extern int fahrenheit;     // temperatures in degrees Fahrenheit
extern char degstr[5];     // text after every temperature: the degree sign and C or F

// Labels, chip names and adapter names come from drivers, firmware and the
// configuration, and go to a terminal: a control character in one could move
// the cursor, retitle the window or start a forged line, so each prints as
// '?'.  Bytes from 0x80 up are left alone for the locale's character set.
inline char printable(char c)
{
    return (unsigned char)c < 0x20 || c == 0x7F ? '?' : c;
}

// The text with its control characters replaced in place; returns it.
char *make_printable(char *text);

void print_chip(const sensors_chip_name *name);
void print_chip_raw(const sensors_chip_name *name);
