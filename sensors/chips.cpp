// The report of one chip: each feature on a line of its own, laid out by its
// class, with its limits two to a line and its active alarms after them.
#include "sensors/chips.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sensors/error.h>

int fahrenheit;
char degstr[5];

// ---- Building blocks ---------------------------------------------------------

char *make_printable(char *text)
{
    if (text)
        for (char *p = text; *p; p++)
            *p = printable(*p);
    return text;
}

// A feature's label, ready to print, for the caller to free; null when the
// library can't make one.
static char *printable_label(const sensors_chip_name *name, const sensors_feature *feature)
{
    return make_printable(sensors_get_label(name, feature));
}

struct subfeature_row {
    int subfeature;                        // SENSORS_SUBFEATURE_*, or -1 at the end
    const struct subfeature_row *depends;  // walked right after this row, if it exists
    int alarm;
    const char *name;
};

struct limit_record {
    double value;
    const char *name;
    const char *unit;
};

// Hysteresis rows all share this very string; the layout recognises them by it.
static const char hyst_str[] = "hyst";

static const struct {
    double upper_bound;   // 0: no bound
    const char *prefix;
} prefix_scales[] = {
    {1e-6, "n"}, {1e-3, "u"}, {1, "m"}, {1e3, ""}, {1e6, "k"}, {1e9, "M"}, {0, "G"},
};

static void read_error(const sensors_subfeature *sub, int err)
{
    fprintf(stderr, "ERROR: Can't get value of subfeature %s: %s\n", sub->name, sensors_strerror(err));
}

// Limits, alarms and other secondary values: a failed read counts as 0.
static double get_value(const sensors_chip_name *name, const sensors_subfeature *sub)
{
    double value;
    int err = sensors_get_value(name, sub->number, &value);
    if (err) {
        read_error(sub, err);
        value = 0;
    }
    return value;
}

// A feature's main reading: an attribute that can't be read is not an error worth a line.
static int get_input_value(const sensors_chip_name *name, const sensors_subfeature *sub, double *value)
{
    int err = sensors_get_value(name, sub->number, value);
    if (err && err != -SENSORS_ERR_ACCESS_R)
        read_error(sub, err);
    return err;
}

// The subfeatures of the feature being reported, by the low byte of their
// type, taken in one pass when the feature changes: asking the library for
// one type at a time looks the chip up among all detected chips on every
// question, and a feature's class asks about ten of them, mostly absent.
// The index is dropped at the start of each chip: once the library has been
// set up again, a new feature may lie at the address of a freed one.
static const sensors_feature *indexed_feature;
static const sensors_subfeature *indexed_subfeatures[256];

static void forget_subfeatures()
{
    indexed_feature = nullptr;
}

static const sensors_subfeature *subfeature(const sensors_chip_name *name, const sensors_feature *feature,
                                            int type)
{
    if (feature != indexed_feature) {
        memset(indexed_subfeatures, 0, sizeof indexed_subfeatures);
        int nr = 0;
        while (const sensors_subfeature *sub = sensors_get_all_subfeatures(name, feature, &nr))
            if (!indexed_subfeatures[sub->type & 0xFF])
                indexed_subfeatures[sub->type & 0xFF] = sub;
        indexed_feature = feature;
    }
    const sensors_subfeature *sub = indexed_subfeatures[type & 0xFF];
    return sub && sub->type == type ? sub : nullptr;
}

// Present and non-zero.
static bool flag_set(const sensors_chip_name *name, const sensors_feature *feature, int type)
{
    const sensors_subfeature *sub = subfeature(name, feature, type);
    return sub && get_value(name, sub) != 0;
}

static void get_sensor_limit_data(const sensors_chip_name *name, const sensors_feature *feature,
                                  const subfeature_row *rows, limit_record *limits, int max_limits,
                                  int *limit_count, limit_record *alarms, int max_alarms, int *alarm_count)
{
    for (; rows->subfeature >= 0; rows++) {
        const sensors_subfeature *sub = subfeature(name, feature, rows->subfeature);
        if (!sub)
            continue;
        if (rows->alarm) {
            if (get_value(name, sub)) {
                if (*alarm_count < max_alarms)
                    alarms[(*alarm_count)++].name = rows->name;
                else
                    fprintf(stderr, "Not enough %s buffers (%d)\n", "alarm", max_alarms);
            }
        } else if (*limit_count < max_limits) {
            limits[*limit_count].value = get_value(name, sub);
            limits[(*limit_count)++].name = rows->name;
        } else {
            fprintf(stderr, "Not enough %s buffers (%d)\n", "limit", max_limits);
        }
        if (rows->depends)
            get_sensor_limit_data(name, feature, rows->depends, limits, max_limits, limit_count, alarms,
                                  max_alarms, alarm_count);
    }
}

// As printf("%*s", width, "") would print them: as many blanks as the
// width's magnitude, for a negative width too.
static void print_blanks(int width)
{
    static const char blanks[] = "                                ";
    width = width < 0 ? -width : width;
    for (; width > 0; width -= (int)sizeof blanks - 1)
        fwrite(blanks, 1, width < (int)sizeof blanks - 1 ? width : (int)sizeof blanks - 1, stdout);
}

// A report prints thousands of these pieces: constant texts and padding
// skip printf's format parsing.
static void print_label(const char *label, int label_size)
{
    fputs(label, stdout);
    putchar(':');
    print_blanks(label_size - (int)strlen(label) - 1);
}

static void print_alarms(const limit_record *alarms, int alarm_count, int leading_spaces)
{
    printf("%*s", leading_spaces + 7, "ALARM");
    if (alarm_count > 1 || alarms[0].name) {
        const char *separator = " (";
        for (int i = 0; i < alarm_count; i++)
            if (alarms[i].name) {
                printf("%s%s", separator, alarms[i].name);
                separator = ", ";
            }
        fputs(")", stdout);
    }
}

static void print_limits(const limit_record *limits, int limit_count, const limit_record *alarms,
                         int alarm_count, int label_size, const char *fmt)
{
    if (limit_count == 0) {
        if (alarm_count)
            print_alarms(alarms, alarm_count, 32);
        return;
    }
    bool alarms_printed = false;
    int slot = 0;
    for (int i = 0; i < limit_count; i++) {
        bool left = !(slot & 1);
        if (left) {
            if (slot) {
                putchar('\n');
                print_blanks(label_size + 10);
            }
            fputs("(", stdout);
        } else {
            fputs(", ", stdout);
        }
        printf(fmt, limits[i].name, limits[i].value, limits[i].unit);
        // A limit followed by one that owns a hysteresis stands alone, so
        // that the owner and its hysteresis share the next line.
        if (left && i + 2 < limit_count && limits[i + 2].name == hyst_str)
            slot++;
        if ((slot & 1) || i == limit_count - 1) {
            fputs(")", stdout);
            if (alarm_count && !alarms_printed) {
                print_alarms(alarms, alarm_count, left ? 16 : 0);
                alarms_printed = true;
            }
        }
        slot++;
    }
}

static void scale_value(double *value, const char **prefix)
{
    double magnitude = fabs(*value);
    if (magnitude == 0) {
        *prefix = "";
        return;
    }
    double divisor = 1e-9;
    size_t i = 0;
    while (prefix_scales[i].upper_bound != 0 && magnitude > prefix_scales[i].upper_bound)
        divisor = prefix_scales[i++].upper_bound;
    *value /= divisor;
    *prefix = prefix_scales[i].prefix;
}

// ---- Subfeature tables -------------------------------------------------------

static const subfeature_row temp_max_sensors[] = {
    {SENSORS_SUBFEATURE_TEMP_MAX_HYST, nullptr, 0, hyst_str},
    {-1, nullptr, 0, nullptr},
};

static const subfeature_row temp_crit_sensors[] = {
    {SENSORS_SUBFEATURE_TEMP_CRIT_HYST, nullptr, 0, hyst_str},
    {-1, nullptr, 0, nullptr},
};

static const subfeature_row temp_emergency_sensors[] = {
    {SENSORS_SUBFEATURE_TEMP_EMERGENCY_HYST, nullptr, 0, hyst_str},
    {-1, nullptr, 0, nullptr},
};

static const subfeature_row temp_sensors[] = {
    {SENSORS_SUBFEATURE_TEMP_ALARM, nullptr, 1, nullptr},
    {SENSORS_SUBFEATURE_TEMP_LCRIT_ALARM, nullptr, 1, "LCRIT"},
    {SENSORS_SUBFEATURE_TEMP_MIN_ALARM, nullptr, 1, "LOW"},
    {SENSORS_SUBFEATURE_TEMP_MAX_ALARM, nullptr, 1, "HIGH"},
    {SENSORS_SUBFEATURE_TEMP_CRIT_ALARM, nullptr, 1, "CRIT"},
    {SENSORS_SUBFEATURE_TEMP_EMERGENCY_ALARM, nullptr, 1, "EMERGENCY"},
    {SENSORS_SUBFEATURE_TEMP_MIN, nullptr, 0, "low"},
    {SENSORS_SUBFEATURE_TEMP_MAX, temp_max_sensors, 0, "high"},
    {SENSORS_SUBFEATURE_TEMP_LCRIT, nullptr, 0, "crit low"},
    {SENSORS_SUBFEATURE_TEMP_CRIT, temp_crit_sensors, 0, "crit"},
    {SENSORS_SUBFEATURE_TEMP_EMERGENCY, temp_emergency_sensors, 0, "emerg"},
    {-1, nullptr, 0, nullptr},
};

static const subfeature_row voltage_sensors[] = {
    {SENSORS_SUBFEATURE_IN_ALARM, nullptr, 1, nullptr},
    {SENSORS_SUBFEATURE_IN_LCRIT_ALARM, nullptr, 1, "LCRIT"},
    {SENSORS_SUBFEATURE_IN_MIN_ALARM, nullptr, 1, "MIN"},
    {SENSORS_SUBFEATURE_IN_MAX_ALARM, nullptr, 1, "MAX"},
    {SENSORS_SUBFEATURE_IN_CRIT_ALARM, nullptr, 1, "CRIT"},
    {SENSORS_SUBFEATURE_IN_LCRIT, nullptr, 0, "crit min"},
    {SENSORS_SUBFEATURE_IN_MIN, nullptr, 0, "min"},
    {SENSORS_SUBFEATURE_IN_MAX, nullptr, 0, "max"},
    {SENSORS_SUBFEATURE_IN_CRIT, nullptr, 0, "crit max"},
    {-1, nullptr, 0, nullptr},
};

static const subfeature_row current_sensors[] = {
    {SENSORS_SUBFEATURE_CURR_ALARM, nullptr, 1, nullptr},
    {SENSORS_SUBFEATURE_CURR_LCRIT_ALARM, nullptr, 1, "LCRIT"},
    {SENSORS_SUBFEATURE_CURR_MIN_ALARM, nullptr, 1, "MIN"},
    {SENSORS_SUBFEATURE_CURR_MAX_ALARM, nullptr, 1, "MAX"},
    {SENSORS_SUBFEATURE_CURR_CRIT_ALARM, nullptr, 1, "CRIT"},
    {SENSORS_SUBFEATURE_CURR_LCRIT, nullptr, 0, "crit min"},
    {SENSORS_SUBFEATURE_CURR_MIN, nullptr, 0, "min"},
    {SENSORS_SUBFEATURE_CURR_MAX, nullptr, 0, "max"},
    {SENSORS_SUBFEATURE_CURR_CRIT, nullptr, 0, "crit max"},
    {-1, nullptr, 0, nullptr},
};

static const subfeature_row power_inst_sensors[] = {
    {SENSORS_SUBFEATURE_POWER_INPUT_LOWEST, nullptr, 0, "lowest"},
    {SENSORS_SUBFEATURE_POWER_INPUT_HIGHEST, nullptr, 0, "highest"},
    {-1, nullptr, 0, nullptr},
};

static const subfeature_row power_avg_sensors[] = {
    {SENSORS_SUBFEATURE_POWER_AVERAGE_LOWEST, nullptr, 0, "lowest"},
    {SENSORS_SUBFEATURE_POWER_AVERAGE_HIGHEST, nullptr, 0, "highest"},
    {SENSORS_SUBFEATURE_POWER_AVERAGE_INTERVAL, nullptr, 0, "interval"},
    {-1, nullptr, 0, nullptr},
};

static const subfeature_row power_common_sensors[] = {
    {SENSORS_SUBFEATURE_POWER_ALARM, nullptr, 1, nullptr},
    {SENSORS_SUBFEATURE_POWER_MAX_ALARM, nullptr, 1, "MAX"},
    {SENSORS_SUBFEATURE_POWER_CRIT_ALARM, nullptr, 1, "CRIT"},
    {SENSORS_SUBFEATURE_POWER_CAP_ALARM, nullptr, 1, "CAP"},
    {SENSORS_SUBFEATURE_POWER_MAX, nullptr, 0, "max"},
    {SENSORS_SUBFEATURE_POWER_CRIT, nullptr, 0, "crit"},
    {SENSORS_SUBFEATURE_POWER_CAP, nullptr, 0, "cap"},
    {-1, nullptr, 0, nullptr},
};

// Room for every limit and every alarm row that a class's tables hold.
static const int VOLTAGE_LIMITS = 4, VOLTAGE_ALARMS = 5;
static const int TEMP_LIMITS = 8, TEMP_ALARMS = 6;
static const int POWER_LIMITS = 6, POWER_ALARMS = 4;
static const int CURRENT_LIMITS = 4, CURRENT_ALARMS = 5;

static const char *const temp_kinds[] = {
    "disabled", "diode", "transistor", "thermal diode", "thermistor", "AMD AMDSI", "Intel PECI",
};

// The kind from the type value truncated toward zero.
static const char *sensor_type_name(double type)
{
    if (type >= 1001)
        return "thermistor";
    if (!(type > -1) || type >= 7)
        return "unknown";
    return temp_kinds[(int)type];
}

// ---- Per-class lines ---------------------------------------------------------

static double deg_ctof(double celsius)
{
    return celsius * (9.0F / 5.0F) + 32;
}

// Voltage and current lines differ only in their unit and table.
static void print_linear(const sensors_chip_name *name, const sensors_feature *feature, int label_size,
                         int input_type, const subfeature_row *rows, int max_limits, int max_alarms,
                         const char *value_fmt, const char *limit_fmt)
{
    limit_record limits[VOLTAGE_LIMITS > CURRENT_LIMITS ? VOLTAGE_LIMITS : CURRENT_LIMITS] = {};
    limit_record alarms[VOLTAGE_ALARMS > CURRENT_ALARMS ? VOLTAGE_ALARMS : CURRENT_ALARMS] = {};
    int limit_count = 0, alarm_count = 0;
    double value;

    const sensors_subfeature *input = subfeature(name, feature, input_type);
    if (input && get_input_value(name, input, &value) == 0)
        printf(value_fmt, value);
    else
        fputs("     N/A  ", stdout);
    get_sensor_limit_data(name, feature, rows, limits, max_limits, &limit_count, alarms, max_alarms,
                          &alarm_count);
    print_limits(limits, limit_count, alarms, alarm_count, label_size, limit_fmt);
    fputs("\n", stdout);
}

static void print_chip_in(const sensors_chip_name *name, const sensors_feature *feature, int label_size)
{
    print_linear(name, feature, label_size, SENSORS_SUBFEATURE_IN_INPUT, voltage_sensors, VOLTAGE_LIMITS,
                 VOLTAGE_ALARMS, "%+6.2f V  ", "%s = %+6.2f V");
}

static void print_chip_curr(const sensors_chip_name *name, const sensors_feature *feature, int label_size)
{
    print_linear(name, feature, label_size, SENSORS_SUBFEATURE_CURR_INPUT, current_sensors, CURRENT_LIMITS,
                 CURRENT_ALARMS, "%+6.2f A  ", "%s = %+6.2f A");
}

static void print_chip_fan(const sensors_chip_name *name, const sensors_feature *feature)
{
    double value;
    const sensors_subfeature *input = subfeature(name, feature, SENSORS_SUBFEATURE_FAN_INPUT);
    if (flag_set(name, feature, SENSORS_SUBFEATURE_FAN_FAULT))
        fputs("   FAULT", stdout);
    else if (input && get_input_value(name, input, &value) == 0)
        printf("%4.0f RPM", value);
    else
        fputs("     N/A", stdout);

    const sensors_subfeature *min = subfeature(name, feature, SENSORS_SUBFEATURE_FAN_MIN);
    const sensors_subfeature *div = subfeature(name, feature, SENSORS_SUBFEATURE_FAN_DIV);
    if (min && div) {
        double divisor = get_value(name, div);
        printf("  (min = %4.0f RPM, div = %1.0f)", get_value(name, min), divisor);
    } else if (min) {
        printf("  (min = %4.0f RPM)", get_value(name, min));
    } else if (div) {
        printf("  (div = %1.0f)", get_value(name, div));
    }

    if (flag_set(name, feature, SENSORS_SUBFEATURE_FAN_ALARM))
        fputs("  ALARM", stdout);
    fputs("\n", stdout);
}

static void print_chip_temp(const sensors_chip_name *name, const sensors_feature *feature, int label_size)
{
    limit_record limits[TEMP_LIMITS] = {};
    limit_record alarms[TEMP_ALARMS] = {};
    int limit_count = 0, alarm_count = 0;
    double value;

    const sensors_subfeature *input = subfeature(name, feature, SENSORS_SUBFEATURE_TEMP_INPUT);
    if (flag_set(name, feature, SENSORS_SUBFEATURE_TEMP_FAULT))
        fputs("   FAULT  ", stdout);
    else if (input && get_input_value(name, input, &value) == 0)
        printf("%+6.1f%s  ", fahrenheit ? deg_ctof(value) : value, degstr);
    else
        fputs("     N/A  ", stdout);

    get_sensor_limit_data(name, feature, temp_sensors, limits, TEMP_LIMITS, &limit_count, alarms, TEMP_ALARMS,
                          &alarm_count);
    for (int i = 0; i < limit_count; i++) {
        if (fahrenheit)
            limits[i].value = deg_ctof(limits[i].value);
        limits[i].unit = degstr;
    }
    print_limits(limits, limit_count, alarms, alarm_count, label_size, "%-4s = %+5.1f%s");

    const sensors_subfeature *type = subfeature(name, feature, SENSORS_SUBFEATURE_TEMP_TYPE);
    if (type)
        printf("  sensor = %s", sensor_type_name(get_value(name, type)));
    fputs("\n", stdout);
}

static void print_chip_power(const sensors_chip_name *name, const sensors_feature *feature, int label_size)
{
    limit_record limits[POWER_LIMITS] = {};
    limit_record alarms[POWER_ALARMS] = {};
    int limit_count = 0, alarm_count = 0;
    double value;
    const char *unit;

    const sensors_subfeature *shown = subfeature(name, feature, SENSORS_SUBFEATURE_POWER_INPUT);
    const subfeature_row *first = shown ? power_inst_sensors : power_avg_sensors;
    get_sensor_limit_data(name, feature, first, limits, POWER_LIMITS, &limit_count, alarms, POWER_ALARMS,
                          &alarm_count);
    get_sensor_limit_data(name, feature, power_common_sensors, limits, POWER_LIMITS, &limit_count, alarms,
                          POWER_ALARMS, &alarm_count);
    if (!shown)
        shown = subfeature(name, feature, SENSORS_SUBFEATURE_POWER_AVERAGE);

    if (shown && get_input_value(name, shown, &value) == 0) {
        scale_value(&value, &unit);
        printf("%6.2f %sW  ", value, unit);
    } else {
        fputs("     N/A  ", stdout);
    }
    for (int i = 0; i < limit_count; i++)
        scale_value(&limits[i].value, &limits[i].unit);
    print_limits(limits, limit_count, alarms, alarm_count, label_size, "%s = %6.2f %sW");
    fputs("\n", stdout);
}

static void print_chip_energy(const sensors_chip_name *name, const sensors_feature *feature)
{
    double value;
    const char *unit;
    const sensors_subfeature *input = subfeature(name, feature, SENSORS_SUBFEATURE_ENERGY_INPUT);
    if (input && get_input_value(name, input, &value) == 0) {
        scale_value(&value, &unit);
        printf("%6.2f %sJ", value, unit);
    } else {
        fputs("     N/A", stdout);
    }
    fputs("\n", stdout);
}

// VID, intrusion and beep enable: the whole line, or nothing at all.
static void print_chip_state(const sensors_chip_name *name, const sensors_feature *feature, const char *label,
                             int label_size, int type)
{
    const sensors_subfeature *sub = subfeature(name, feature, type);
    if (!sub || !label)
        return;
    double value;
    if (sensors_get_value(name, sub->number, &value) == 0) {
        print_label(label, label_size);
        if (type == SENSORS_SUBFEATURE_VID)
            printf("%+6.3f V\n", value);
        else if (type == SENSORS_SUBFEATURE_INTRUSION_ALARM)
            printf("%s\n", value ? "ALARM" : "OK");
        else
            printf("%s\n", value ? "enabled" : "disabled");
    }
}

// The label column of the classes whose line is never dropped.
static bool print_feature_label(const sensors_feature *feature, const char *label, int label_size)
{
    if (!label) {
        fprintf(stderr, "ERROR: Can't get label of feature %s!\n", feature->name);
        return false;
    }
    print_label(label, label_size);
    return true;
}

static void print_feature(const sensors_chip_name *name, const sensors_feature *feature, const char *label,
                          int label_size)
{
    switch (feature->type) {
    case SENSORS_FEATURE_IN:
        if (print_feature_label(feature, label, label_size))
            print_chip_in(name, feature, label_size);
        break;
    case SENSORS_FEATURE_FAN:
        if (print_feature_label(feature, label, label_size))
            print_chip_fan(name, feature);
        break;
    case SENSORS_FEATURE_TEMP:
        if (print_feature_label(feature, label, label_size))
            print_chip_temp(name, feature, label_size);
        break;
    case SENSORS_FEATURE_POWER:
        if (print_feature_label(feature, label, label_size))
            print_chip_power(name, feature, label_size);
        break;
    case SENSORS_FEATURE_ENERGY:
        if (print_feature_label(feature, label, label_size))
            print_chip_energy(name, feature);
        break;
    case SENSORS_FEATURE_CURR:
        if (print_feature_label(feature, label, label_size))
            print_chip_curr(name, feature, label_size);
        break;
    case SENSORS_FEATURE_VID:
        print_chip_state(name, feature, label, label_size, SENSORS_SUBFEATURE_VID);
        break;
    case SENSORS_FEATURE_INTRUSION:
        print_chip_state(name, feature, label, label_size, SENSORS_SUBFEATURE_INTRUSION_ALARM);
        break;
    case SENSORS_FEATURE_BEEP_ENABLE:
        print_chip_state(name, feature, label, label_size, SENSORS_SUBFEATURE_BEEP_ENABLE);
        break;
    default:
        break;
    }
}

// The chip's features and their labels, taken once for the label column and
// the lines both: the library looks the chip up among all detected chips on
// each call.  A chip with more features than this has the rest asked for
// again.
static const int CACHED_FEATURES = 1024;
static struct {
    const sensors_feature *feature;
    char *label;   // null when the library could not make one
} cached[CACHED_FEATURES];

void print_chip(const sensors_chip_name *name)
{
    forget_subfeatures();
    int count = 0, nr = 0;
    size_t longest = 11;
    while (const sensors_feature *feature = sensors_get_features(name, &nr)) {
        char *label = printable_label(name, feature);
        if (label && strlen(label) > longest)
            longest = strlen(label);
        if (count < CACHED_FEATURES) {
            cached[count].feature = feature;
            cached[count++].label = label;
        } else {
            free(label);
        }
    }
    int label_size = (int)longest + 2;
    for (int i = 0; i < count; i++) {
        print_feature(name, cached[i].feature, cached[i].label, label_size);
        free(cached[i].label);
    }
    if (count < CACHED_FEATURES)
        return;
    nr = 0;
    int seen = 0;
    while (const sensors_feature *feature = sensors_get_features(name, &nr)) {
        if (seen++ < CACHED_FEATURES)
            continue;
        char *label = printable_label(name, feature);
        print_feature(name, feature, label, label_size);
        free(label);
    }
}

// ---- Raw listing -------------------------------------------------------------

void print_chip_raw(const sensors_chip_name *name)
{
    int nr = 0;
    while (const sensors_feature *feature = sensors_get_features(name, &nr)) {
        char *label = printable_label(name, feature);
        if (!label) {
            fprintf(stderr, "ERROR: Can't get label of feature %s!\n", feature->name);
            continue;
        }
        printf("%s:\n", label);
        int sub_nr = 0;
        while (const sensors_subfeature *sub = sensors_get_all_subfeatures(name, feature, &sub_nr)) {
            if (sub->flags & SENSORS_MODE_R) {
                double value;
                int err = sensors_get_value(name, sub->number, &value);
                if (err)
                    read_error(sub, err);
                else
                    printf("  %s: %.3f\n", sub->name, value);
            } else {
                printf("(%s)\n", label);
            }
        }
        free(label);
    }
}
