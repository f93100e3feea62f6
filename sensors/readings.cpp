#include "sensors/readings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Room in the array for its count elements and one more, growing it by half
// as needed: false when memory runs out, the array unchanged.
template <typename T> static bool make_room(T **array, size_t *room, size_t count)
{
    if (count < *room)
        return true;
    size_t more = *room ? *room + *room / 2 : 64;
    T *grown = (T *)realloc(*array, more * sizeof(T));
    if (!grown)
        return false;
    *array = grown;
    *room = more;
    return true;
}

int read_chip(const sensors_chip_name *chip, readings *r)
{
    if (!make_room(&r->chips, &r->chip_room, r->chip_count))
        return -1;
    chip_readings &c = r->chips[r->chip_count++];
    c = {};
    if (sensors_snprintf_chip_name(c.name, sizeof c.name, chip) < 0)
        snprintf(c.name, sizeof c.name, "unknown");
    c.adapter = sensors_get_adapter_name(&chip->bus);
    c.first = r->feature_count;
    int feature_nr = 0;
    while (const sensors_feature *feature = sensors_get_features(chip, &feature_nr)) {
        if (!make_room(&r->features, &r->feature_room, r->feature_count))
            return -1;
        feature_readings &f = r->features[r->feature_count++];
        f = {feature, sensors_get_label(chip, feature), r->value_count, 0};
        c.count++;
        int sub_nr = 0;
        while (const sensors_subfeature *sub = sensors_get_all_subfeatures(chip, feature, &sub_nr)) {
            // A write-only attribute is the driver's design, not a failing read.
            if (!(sub->flags & SENSORS_MODE_R))
                continue;
            if (!make_room(&r->values, &r->value_room, r->value_count))
                return -1;
            reading &v = r->values[r->value_count++];
            v = {sub, 0, 0};
            v.error = sensors_get_value(chip, sub->number, &v.value);
            if (v.error)
                c.errors++;
            f.count++;
        }
    }
    return 0;
}

void free_readings(readings *r)
{
    for (size_t i = 0; i < r->feature_count; i++)
        free(r->features[i].label);
    free(r->chips);
    free(r->features);
    free(r->values);
    *r = {};
}

const char *kind_of(const sensors_feature *feature, const sensors_subfeature *subfeature)
{
    size_t n = strlen(feature->name);
    if (!strncmp(subfeature->name, feature->name, n) && subfeature->name[n] == '_')
        return subfeature->name + n + 1;
    return "input";
}
