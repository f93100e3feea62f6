// What sensors-export reads from libsensors: every readable subfeature of
// the chips' features with its value or the library's error, in the
// library's order, kept until both output formats are written.
#pragma once

#include <cstddef>
#include <sensors/sensors.h>

struct reading {
    const sensors_subfeature *subfeature;
    double value;
    int error;                      // 0, or the library's negative error number
};

struct feature_readings {
    const sensors_feature *feature;
    char *label;                    // from the library; null where it gave none
    size_t first, count;            // its readings
};

struct chip_readings {
    char name[200];                 // as sensors prints it, "unknown" where the library can't say
    char *id;                       // the node exporter's chip label, unique among the chips read
    char *hwmon_name;               // the name file as the node exporter cleans it, where asked for
    const char *path;               // the hwmon folder, the library's
    const char *adapter;            // null where the library has no adapter name
    size_t first, count;            // its features
    int errors;                     // readings that failed
};

// Arrays from malloc, grown as the chips are read; all null and zero to start.
struct readings {
    chip_readings *chips;
    feature_readings *features;
    reading *values;
    size_t chip_count, feature_count, value_count;
    size_t chip_room, feature_room, value_room;
    bool with_hwmon_names;          // set before reading: read_chip fills hwmon_name
};

// Appends the chip with every feature that the configuration leaves in and
// every subfeature that the driver lets be read.  -1 when memory runs out,
// with what was read kept for free_readings; 0 otherwise.
int read_chip(const sensors_chip_name *chip, readings *r);

// Gives each chip that shares its id with another the id followed by "_"
// and its hwmon folder's name ("dup_hwmon3"): the node exporter's own
// names collide for chips without a device and one name.  -1 when memory
// runs out, 0 otherwise.
int make_ids_unique(readings *r);

// Frees the readings and what the library allocated for them.
void free_readings(readings *r);

// The feature's label, or its name where the library gave no label.
inline const char *label_of(const feature_readings &f)
{
    return f.label ? f.label : f.feature->name;
}
