// The names the node exporter's hwmon collector gives a chip, so that the
// series of sensors-export carry the same chip label as its own: made from
// the chip's device (its parent folder and its own name: i2c_0_0_002d,
// platform_nct6775_656), else from the chip's name file, else from its
// hwmon folder; each with every character but a-z, 0-9, ':' and '_' made
// '_' after lower-casing, and '_' trimmed at both ends.
#pragma once

#include <cstddef>

// The text in that form, into out (room for n bytes and a NUL: it never
// grows); its length.
size_t clean_hwmon_name(const char *text, size_t n, char *out);

// The chip label of the chip whose hwmon folder is path, for the caller to
// free; null when memory runs out.
char *hwmon_chip_id(const char *path);

// The chip's name file in the same form (chip_name of the collector's
// chip_names), for the caller to free; null when memory runs out.
char *hwmon_chip_name(const char *path);

// The hwmon folder's own name in that form ("hwmon3"), for the caller to
// free; null when memory runs out.
char *hwmon_folder_name(const char *path);
