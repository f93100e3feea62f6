#include "sensors/readings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void read_chip(const sensors_chip_name *chip, readings *r)
{
    chip_readings c = {};
    if (sensors_snprintf_chip_name(c.name, sizeof c.name, chip) < 0)
        snprintf(c.name, sizeof c.name, "unknown");
    c.adapter = sensors_get_adapter_name(&chip->bus);
    c.first = r->features.size();
    int feature_nr = 0;
    while (const sensors_feature *feature = sensors_get_features(chip, &feature_nr)) {
        feature_readings f = {feature, sensors_get_label(chip, feature), r->values.size(), 0};
        int sub_nr = 0;
        while (const sensors_subfeature *sub = sensors_get_all_subfeatures(chip, feature, &sub_nr)) {
            // A write-only attribute is the driver's design, not a failing read.
            if (!(sub->flags & SENSORS_MODE_R))
                continue;
            reading v = {sub, 0, 0};
            v.error = sensors_get_value(chip, sub->number, &v.value);
            if (v.error)
                c.errors++;
            r->values.push_back(v);
            f.count++;
        }
        r->features.push_back(f);
        c.count++;
    }
    r->chips.push_back(c);
}

void free_readings(readings *r)
{
    for (feature_readings &f : r->features) {
        free(f.label);
        f.label = nullptr;
    }
}

const char *kind_of(const sensors_feature *feature, const sensors_subfeature *subfeature)
{
    size_t n = strlen(feature->name);
    if (!strncmp(subfeature->name, feature->name, n) && subfeature->name[n] == '_')
        return subfeature->name + n + 1;
    return "input";
}
