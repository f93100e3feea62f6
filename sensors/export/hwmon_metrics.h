// The metric of each subfeature that libsensors knows: the name that the
// node exporter's hwmon collector gives the same attribute, with hwkit_ in
// place of node_.
#pragma once

#include <cstddef>

enum hwmon_value_kind {
    AS_READ,            // libsensors' value as it is
    PERCENT_AS_RATIO,   // relative humidity: percent / 100
};

struct hwmon_metric {
    int subfeature_type;
    const char *name;
    const char *help;
    bool counter;
    hwmon_value_kind kind;
};

extern const hwmon_metric HWMON_METRICS[];
extern const size_t HWMON_METRIC_COUNT;
const size_t HWMON_METRIC_LIMIT = 127;  // above every index: room for a table indexed by metric

// The index in HWMON_METRICS of the subfeature type's metric; -1 for none.
int hwmon_metric_of(int subfeature_type);

// The collector's sensor label of a feature: the name's letters and the
// number after them, "0" where there is none ("temp1", "cpu0" for cpu0_vid,
// "beep_enable0"), into sensor (room for size bytes, at least 2); its length.
size_t hwmon_sensor_name(const char *feature_name, char *sensor, size_t size);
