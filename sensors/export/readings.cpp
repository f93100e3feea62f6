#include "sensors/export/readings.h"
#include "sensors/export/chip_id.h"

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
    c.id = hwmon_chip_id(chip->path);
    c.hwmon_name = r->with_hwmon_names ? hwmon_chip_name(chip->path) : nullptr;
    c.path = chip->path;
    if (!c.id || (r->with_hwmon_names && !c.hwmon_name))
        return -1;
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

static int by_id_then_place(const void *a, const void *b)
{
    const chip_readings *x = *(const chip_readings *const *)a, *y = *(const chip_readings *const *)b;
    int order = strcmp(x->id, y->id);
    return order ? order : x < y ? -1 : x > y;
}

int make_ids_unique(readings *r)
{
    chip_readings **sorted = (chip_readings **)malloc((r->chip_count + 1) * sizeof *sorted);
    if (!sorted)
        return -1;
    for (size_t i = 0; i < r->chip_count; i++)
        sorted[i] = &r->chips[i];
    qsort(sorted, r->chip_count, sizeof *sorted, by_id_then_place);
    int status = 0;
    for (size_t i = 0, end; i < r->chip_count && !status; i = end) {
        for (end = i + 1; end < r->chip_count && !strcmp(sorted[i]->id, sorted[end]->id); end++)
            ;
        for (size_t k = i; k < end && end - i > 1 && !status; k++) {
            char *folder = hwmon_folder_name(sorted[k]->path);
            size_t size = strlen(sorted[k]->id) + (folder ? strlen(folder) : 0) + 2;
            char *id = folder ? (char *)malloc(size) : nullptr;
            if (id) {
                snprintf(id, size, "%s_%s", sorted[k]->id, folder);
                free(sorted[k]->id);
                sorted[k]->id = id;
            } else {
                status = -1;
            }
            free(folder);
        }
    }
    free(sorted);
    return status;
}

void free_readings(readings *r)
{
    for (size_t i = 0; i < r->chip_count; i++) {
        free(r->chips[i].id);
        free(r->chips[i].hwmon_name);
    }
    for (size_t i = 0; i < r->feature_count; i++)
        free(r->features[i].label);
    free(r->chips);
    free(r->features);
    free(r->values);
    *r = {};
}
