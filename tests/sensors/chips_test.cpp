// The report of one chip over a fake of the few library calls it makes, so
// that a test decides what the library hands out.  Set up again, the library
// may put a chip's feature where one of the previous set-up lay, with other
// subfeatures: the report must show the new ones.
#include "sensors/chips.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <sensors/error.h>
#include <string>

namespace {

struct fake_subfeature {
    sensors_subfeature sub;
    double value;
};

// What the fake library holds: one chip with one temperature feature, always
// at this address, and the subfeatures of the current set-up.
sensors_feature temp1 = {const_cast<char *>("temp1"), 0, SENSORS_FEATURE_TEMP, 0, 0};
const fake_subfeature *subfeatures;
int subfeature_count;

fake_subfeature readable(const char *name, int number, sensors_subfeature_type type, double value)
{
    return {{const_cast<char *>(name), number, type, 0, SENSORS_MODE_R}, value};
}

std::string report(const sensors_chip_name *chip)
{
    char *text = nullptr;
    size_t size = 0;
    FILE *terminal = stdout;
    stdout = open_memstream(&text, &size);
    print_chip(chip);
    fclose(stdout);
    stdout = terminal;
    std::string result(text, size);
    free(text);
    return result;
}

TEST(PrintChip, AFeatureWhereOneLayBeforeShowsItsOwnSubfeatures)
{
    strcpy(degstr, " C");
    sensors_chip_name chip = {};

    const fake_subfeature first[] = {readable("temp1_input", 0, SENSORS_SUBFEATURE_TEMP_INPUT, 30)};
    subfeatures = first;
    subfeature_count = 1;
    EXPECT_EQ("temp1:        +30.0 C  \n", report(&chip));

    const fake_subfeature second[] = {
        readable("temp1_input", 1, SENSORS_SUBFEATURE_TEMP_INPUT, 45),
        readable("temp1_max", 2, SENSORS_SUBFEATURE_TEMP_MAX, 80),
    };
    subfeatures = second;
    subfeature_count = 2;
    EXPECT_EQ("temp1:        +45.0 C  (high = +80.0 C)\n", report(&chip));
}

}  // namespace

extern "C" {

const sensors_feature *sensors_get_features(const sensors_chip_name *, int *nr)
{
    return (*nr)++ == 0 ? &temp1 : nullptr;
}

const sensors_subfeature *sensors_get_all_subfeatures(const sensors_chip_name *, const sensors_feature *,
                                                      int *nr)
{
    return *nr < subfeature_count ? &subfeatures[(*nr)++].sub : nullptr;
}

char *sensors_get_label(const sensors_chip_name *, const sensors_feature *feature)
{
    return strdup(feature->name);
}

int sensors_get_value(const sensors_chip_name *, int number, double *value)
{
    for (int i = 0; i < subfeature_count; i++)
        if (subfeatures[i].sub.number == number) {
            *value = subfeatures[i].value;
            return 0;
        }
    return -SENSORS_ERR_KERNEL;
}

const char *sensors_strerror(int)
{
    return "no such subfeature in this set-up";
}

}
