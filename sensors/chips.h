// The report module of sensors: the formatted and the raw report of one chip,
// and the two settings that the command line decides for every report.
#pragma once

#include <sensors/sensors.h>

extern int fahrenheit;     // temperatures in degrees Fahrenheit
extern char degstr[5];     // text after every temperature: the degree sign and C or F

void print_chip(const sensors_chip_name *name);
void print_chip_raw(const sensors_chip_name *name);
