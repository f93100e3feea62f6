// The Prometheus text exposition format of sensors-export, for the node
// exporter's textfile collector.  Each metric's lines stand together after
// its HELP and TYPE lines, as the format requires, so the readings are
// gone through once per metric.
#include "sensors/export_formats.h"
#include "sensors/prometheus_value.h"
#include "sensors/text.h"
#include "sensors/utf8.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

enum metric { VOLTAGE, FAN, TEMPERATURE, POWER, ENERGY, CURRENT, HUMIDITY, ALARM, SETTING, METRICS };

static const struct {
    const char *name;
    const char *help;
} metrics[METRICS] = {
    {"hwkit_sensor_voltage_volts",
     "Voltages of the hardware-monitoring chips, readings and limits, and CPU core VIDs, in volts."},
    {"hwkit_sensor_fan_rpm", "Fan speeds and their limits, in revolutions per minute."},
    {"hwkit_sensor_temperature_celsius", "Temperatures, their limits and hystereses, in degrees Celsius."},
    {"hwkit_sensor_power_watts", "Power readings and limits, in watts."},
    {"hwkit_sensor_energy_joules", "Energy used, in joules."},
    {"hwkit_sensor_current_amperes", "Currents and their limits, in amperes."},
    {"hwkit_sensor_humidity_percent", "Relative humidity, in percent."},
    {"hwkit_sensor_alarm", "Alarm and fault flags of the hardware-monitoring chips: 1 raised, 0 clear."},
    {"hwkit_sensor_setting",
     "Values without their feature's unit: fan divisors and pulses, temperature sensor types, "
     "beep enables, power averaging intervals in seconds."},
};

// The subfeature types that are no reading in the feature's unit.
static metric metric_of(int feature_type, int subfeature_type)
{
    switch (subfeature_type) {
    case SENSORS_SUBFEATURE_IN_ALARM:
    case SENSORS_SUBFEATURE_IN_MIN_ALARM:
    case SENSORS_SUBFEATURE_IN_MAX_ALARM:
    case SENSORS_SUBFEATURE_IN_LCRIT_ALARM:
    case SENSORS_SUBFEATURE_IN_CRIT_ALARM:
    case SENSORS_SUBFEATURE_FAN_ALARM:
    case SENSORS_SUBFEATURE_FAN_FAULT:
    case SENSORS_SUBFEATURE_FAN_MIN_ALARM:
    case SENSORS_SUBFEATURE_FAN_MAX_ALARM:
    case SENSORS_SUBFEATURE_TEMP_ALARM:
    case SENSORS_SUBFEATURE_TEMP_MAX_ALARM:
    case SENSORS_SUBFEATURE_TEMP_MIN_ALARM:
    case SENSORS_SUBFEATURE_TEMP_CRIT_ALARM:
    case SENSORS_SUBFEATURE_TEMP_FAULT:
    case SENSORS_SUBFEATURE_TEMP_EMERGENCY_ALARM:
    case SENSORS_SUBFEATURE_TEMP_LCRIT_ALARM:
    case SENSORS_SUBFEATURE_POWER_ALARM:
    case SENSORS_SUBFEATURE_POWER_CAP_ALARM:
    case SENSORS_SUBFEATURE_POWER_MAX_ALARM:
    case SENSORS_SUBFEATURE_POWER_CRIT_ALARM:
    case SENSORS_SUBFEATURE_POWER_MIN_ALARM:
    case SENSORS_SUBFEATURE_POWER_LCRIT_ALARM:
    case SENSORS_SUBFEATURE_CURR_ALARM:
    case SENSORS_SUBFEATURE_CURR_MIN_ALARM:
    case SENSORS_SUBFEATURE_CURR_MAX_ALARM:
    case SENSORS_SUBFEATURE_CURR_LCRIT_ALARM:
    case SENSORS_SUBFEATURE_CURR_CRIT_ALARM:
    case SENSORS_SUBFEATURE_INTRUSION_ALARM:
        return ALARM;
    case SENSORS_SUBFEATURE_IN_BEEP:
    case SENSORS_SUBFEATURE_FAN_DIV:
    case SENSORS_SUBFEATURE_FAN_BEEP:
    case SENSORS_SUBFEATURE_FAN_PULSES:
    case SENSORS_SUBFEATURE_TEMP_TYPE:
    case SENSORS_SUBFEATURE_TEMP_BEEP:
    case SENSORS_SUBFEATURE_POWER_AVERAGE_INTERVAL:
    case SENSORS_SUBFEATURE_CURR_BEEP:
    case SENSORS_SUBFEATURE_INTRUSION_BEEP:
        return SETTING;
    default:
        break;
    }
    switch (feature_type) {
    case SENSORS_FEATURE_IN:
    case SENSORS_FEATURE_VID:
        return VOLTAGE;
    case SENSORS_FEATURE_FAN:
        return FAN;
    case SENSORS_FEATURE_TEMP:
        return TEMPERATURE;
    case SENSORS_FEATURE_POWER:
        return POWER;
    case SENSORS_FEATURE_ENERGY:
        return ENERGY;
    case SENSORS_FEATURE_CURR:
        return CURRENT;
    case SENSORS_FEATURE_HUMIDITY:
        return HUMIDITY;
    default:
        return SETTING;
    }
}

// A label value as the format quotes it: backslash, double quote and line
// feed escaped, everything else as it is, in valid UTF-8.
static void append_label_value(text *t, const char *value)
{
    const unsigned char *p = (const unsigned char *)value;
    while (*p) {
        size_t bad = 0, n = utf8_length(p, &bad);
        if (!n) {
            text_append(t, REPLACEMENT_CHARACTER, 3);
            p += bad;
        } else if (*p == '\\') {
            text_append(t, "\\\\", 2), p++;
        } else if (*p == '"') {
            text_append(t, "\\\"", 2), p++;
        } else if (*p == '\n') {
            text_append(t, "\\n", 2), p++;
        } else {
            text_append(t, (const char *)p, n);
            p += n;
        }
    }
}

static void append_header(text *t, const char *name, const char *help)
{
    text_printf(t, "# HELP %s %s\n# TYPE %s gauge\n", name, help, name);
}

// Where a piece of the labels text lies.
struct span {
    size_t at, length;
};

static int by_name_then_place(const void *a, const void *b)
{
    const chip_readings *x = *(const chip_readings *const *)a, *y = *(const chip_readings *const *)b;
    int order = strcmp(x->name, y->name);
    return order ? order : x < y ? -1 : x > y;
}

// The chip label of each chip, into the labels text.  Two chips may bear one
// name (ACPI and virtual chips all lie at address 0), and their series must
// not be one: the second gets "#2" after the name, the third "#3".
static void chip_labels(const readings &r, const chip_readings **sorted, text *labels, span *spans)
{
    for (size_t i = 0; i < r.chip_count; i++)
        sorted[i] = &r.chips[i];
    qsort(sorted, r.chip_count, sizeof *sorted, by_name_then_place);
    for (size_t i = 0, n = 1; i < r.chip_count; i++) {
        n = i && !strcmp(sorted[i - 1]->name, sorted[i]->name) ? n + 1 : 1;
        span &s = spans[sorted[i] - r.chips];
        s.at = labels->size;
        append_label_value(labels, sorted[i]->name);
        if (n > 1)
            text_printf(labels, "#%zu", n);
        s.length = labels->size - s.at;
    }
}

// Everything between a sample's name and its kind, for a feature:
// {chip="…",feature="…",label="…",kind="
static void feature_prefix(text *labels, span chip, const feature_readings &f, span *prefix)
{
    prefix->at = labels->size;
    text_append(labels, "{chip=\"", 7);
    if (text_reserve(labels, chip.length))
        text_put(labels, labels->data + chip.at, chip.length);
    text_append(labels, "\",feature=\"", 11);
    append_label_value(labels, f.feature->name);
    text_append(labels, "\",label=\"", 9);
    append_label_value(labels, label_of(f));
    text_append(labels, "\",kind=\"", 8);
    prefix->length = labels->size - prefix->at;
}

// An array of n elements of size bytes, never a null one for none.
static void *array_of(size_t n, size_t size)
{
    return malloc(n ? n * size : 1);
}

int write_prometheus(FILE *out, const readings &r, time_t now)
{
    text labels = {}, t = {};
    const chip_readings **sorted = (const chip_readings **)array_of(r.chip_count, sizeof *sorted);
    span *chips = (span *)array_of(r.chip_count, sizeof *chips);
    span *prefixes = (span *)array_of(r.feature_count, sizeof *prefixes);
    // The metric and the feature of each value, and the values read ordered
    // by their metric, in the library's order within each.
    unsigned char *metric_of_value = (unsigned char *)array_of(r.value_count, 1);
    size_t *feature_of_value = (size_t *)array_of(r.value_count, sizeof *feature_of_value);
    size_t *by_metric = (size_t *)array_of(r.value_count, sizeof *by_metric);
    bool failed = !sorted || !chips || !prefixes || !metric_of_value || !feature_of_value || !by_metric;

    size_t counts[METRICS + 1] = {};
    if (!failed) {
        chip_labels(r, sorted, &labels, chips);
        for (size_t ci = 0; ci < r.chip_count; ci++) {
            const chip_readings &c = r.chips[ci];
            for (size_t fi = c.first; fi < c.first + c.count; fi++) {
                const feature_readings &f = r.features[fi];
                feature_prefix(&labels, chips[ci], f, &prefixes[fi]);
                for (size_t vi = f.first; vi < f.first + f.count; vi++) {
                    const reading &v = r.values[vi];
                    metric m = v.error ? METRICS : metric_of(f.feature->type, v.subfeature->type);
                    metric_of_value[vi] = (unsigned char)m;
                    feature_of_value[vi] = fi;
                    counts[m]++;
                }
            }
        }
        size_t starts[METRICS + 1];
        for (size_t m = 0, at = 0; m <= METRICS; at += counts[m++])
            starts[m] = at;
        for (size_t vi = 0; vi < r.value_count; vi++)
            by_metric[starts[metric_of_value[vi]]++] = vi;
        failed = labels.failed;
    }

    // The whole text is made in memory and written at once.
    if (!failed)
        text_reserve(&t, r.value_count * 128 + 4096);
    for (size_t m = 0, next = 0; !failed && m < METRICS; m++) {
        if (!counts[m])
            continue;
        append_header(&t, metrics[m].name, metrics[m].help);
        size_t name_length = strlen(metrics[m].name);
        for (size_t end = next + counts[m]; next < end; next++) {
            const reading &v = r.values[by_metric[next]];
            size_t fi = feature_of_value[by_metric[next]];
            const char *kind = kind_of(r.features[fi].feature, v.subfeature);
            size_t kind_length = strlen(kind);
            if (!text_reserve(&t, name_length + prefixes[fi].length + kind_length + 4 + PROMETHEUS_VALUE_SIZE))
                break;
            text_put(&t, metrics[m].name, name_length);
            text_put(&t, labels.data + prefixes[fi].at, prefixes[fi].length);
            text_put(&t, kind, kind_length);
            text_put(&t, "\"} ", 3);
            t.size += format_prometheus_value(v.value, t.data + t.size);
            text_put(&t, "\n", 1);
        }
        failed = t.failed;
    }

    if (!failed) {
        append_header(&t, "hwkit_sensors_read_errors", "Subfeatures of the chip that could not be read in this export.");
        for (size_t ci = 0; ci < r.chip_count; ci++)
            text_printf(&t, "hwkit_sensors_read_errors{chip=\"%.*s\"} %d\n", (int)chips[ci].length,
                        labels.data + chips[ci].at, r.chips[ci].errors);
        append_header(&t, "hwkit_sensors_export_timestamp_seconds",
                      "When sensors-export read the chips, in seconds since the epoch.");
        text_printf(&t, "hwkit_sensors_export_timestamp_seconds %lld\n", (long long)now);
        failed = t.failed;
    }
    if (!failed)
        fwrite(t.data, 1, t.size, out);
    text_free(&t);
    text_free(&labels);
    free(sorted);
    free(chips);
    free(prefixes);
    free(metric_of_value);
    free(feature_of_value);
    free(by_metric);
    if (failed) {
        errno = ENOMEM;
        return -1;
    }
    return 0;
}
