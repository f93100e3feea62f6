// Loading the hardware-monitoring configuration into libsensors, the same
// way for sensors and sensors-export.
#pragma once

// Initialises the library from the file, from standard input when the name
// is "-", or from the library's default files when there is no name.  On
// failure prints why on standard error and returns 1, with the library not
// initialised; 0 otherwise.
int load_configuration(const char *config_file);

// How many statements the library reported as wrong while loading it,
// with the rest loaded all the same.
int configuration_errors();
