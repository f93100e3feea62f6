// The benchmark's baseline: what the report costs without the report. Loads
// the configuration, walks every chip, feature and subfeature and reads every
// readable value through libsensors, and prints nothing; with "labels", also
// asks for every feature's label, as a report must (the library looks for
// the driver's label file of each feature).
// usage: sensors-bench-walk CONFIG [labels]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sensors/sensors.h>

int main(int argc, char **argv)
{
    FILE *config = argc > 1 ? fopen(argv[1], "r") : nullptr;
    bool labels = argc > 2 && !strcmp(argv[2], "labels");
    if (sensors_init(config))
        return 1;
    if (config)
        fclose(config);
    int chip_nr = 0;
    long values = 0;
    while (const sensors_chip_name *chip = sensors_get_detected_chips(nullptr, &chip_nr)) {
        int feature_nr = 0;
        while (const sensors_feature *feature = sensors_get_features(chip, &feature_nr)) {
            if (labels)
                free(sensors_get_label(chip, feature));
            int sub_nr = 0;
            while (const sensors_subfeature *sub = sensors_get_all_subfeatures(chip, feature, &sub_nr)) {
                double value;
                if ((sub->flags & SENSORS_MODE_R) && sensors_get_value(chip, sub->number, &value) == 0)
                    values++;
            }
        }
    }
    sensors_cleanup();
    return values > 0 ? 0 : 1;
}
