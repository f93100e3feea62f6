// The Prometheus text exposition format of sensors-export, for the node
// exporter's textfile collector.  Each metric's lines stand together after
// its HELP and TYPE lines, as the format requires, so the readings are
// gone through once per metric.
#include "sensors/export_formats.h"
#include "sensors/prometheus_value.h"
#include "sensors/utf8.h"

#include <cstdarg>
#include <cstring>
#include <string>
#include <unordered_map>

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
static void append_label_value(std::string &out, const char *text)
{
    const unsigned char *p = (const unsigned char *)text;
    while (*p) {
        size_t bad = 0, n = utf8_length(p, &bad);
        if (!n) {
            out += REPLACEMENT_CHARACTER;
            p += bad;
        } else if (*p == '\\') {
            out += "\\\\", p++;
        } else if (*p == '"') {
            out += "\\\"", p++;
        } else if (*p == '\n') {
            out += "\\n", p++;
        } else {
            out.append((const char *)p, n);
            p += n;
        }
    }
}

// printf's formatting, appended to the text.
__attribute__((format(printf, 2, 3))) static void append_printf(std::string &out, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    size_t at = out.size();
    out.resize(at + n + 1);
    va_start(args, format);
    vsnprintf(out.data() + at, n + 1, format, args);
    va_end(args);
    out.resize(at + n);
}

static void append_header(std::string &out, const char *name, const char *help)
{
    append_printf(out, "# HELP %s %s\n# TYPE %s gauge\n", name, help, name);
}

// The chip label of each chip.  Two chips may bear one name (ACPI and
// virtual chips all lie at address 0), and their series must not be one:
// the second gets "#2" after the name, the third "#3".
static std::vector<std::string> chip_labels(const readings &r)
{
    std::vector<std::string> labels;
    std::unordered_map<std::string, int> seen;
    for (const chip_readings &c : r.chips) {
        std::string label;
        append_label_value(label, c.name);
        if (int n = ++seen[c.name]; n > 1)
            append_printf(label, "#%d", n);
        labels.push_back(std::move(label));
    }
    return labels;
}

void write_prometheus(FILE *out, const readings &r, time_t now)
{
    std::vector<std::string> chips = chip_labels(r);

    // Everything between a sample's name and its kind, per feature:
    // {chip="…",feature="…",label="…",kind="
    std::vector<std::string> prefixes(r.features.size());
    // The metric and the feature of each value, and the values read ordered
    // by their metric, in the library's order within each.
    std::vector<unsigned char> metric_of_value(r.values.size());
    std::vector<unsigned> feature_of_value(r.values.size()), by_metric(r.values.size());
    size_t counts[METRICS + 1] = {};
    for (size_t ci = 0; ci < r.chips.size(); ci++) {
        const chip_readings &c = r.chips[ci];
        for (size_t fi = c.first; fi < c.first + c.count; fi++) {
            const feature_readings &f = r.features[fi];
            std::string &prefix = prefixes[fi];
            prefix.reserve(128);
            prefix.append("{chip=\"", 7);
            prefix.append(chips[ci]);
            prefix.append("\",feature=\"", 11);
            append_label_value(prefix, f.feature->name);
            prefix.append("\",label=\"", 9);
            append_label_value(prefix, label_of(f));
            prefix.append("\",kind=\"", 8);
            for (size_t vi = f.first; vi < f.first + f.count; vi++) {
                metric m = r.values[vi].error ? METRICS : metric_of(f.feature->type, r.values[vi].subfeature->type);
                metric_of_value[vi] = (unsigned char)m;
                feature_of_value[vi] = (unsigned)fi;
                counts[m]++;
            }
        }
    }
    size_t starts[METRICS + 1];
    for (size_t m = 0, at = 0; m <= METRICS; at += counts[m++])
        starts[m] = at;
    for (size_t vi = 0; vi < r.values.size(); vi++)
        by_metric[starts[metric_of_value[vi]]++] = (unsigned)vi;

    // The whole text is made in memory and written at once.
    std::string text;
    text.reserve(r.values.size() * 128 + 4096);
    size_t next = 0;
    for (int m = 0; m < METRICS; m++) {
        if (!counts[m])
            continue;
        append_header(text, metrics[m].name, metrics[m].help);
        size_t name_length = strlen(metrics[m].name);
        for (size_t end = next + counts[m]; next < end; next++) {
            const reading &v = r.values[by_metric[next]];
            const feature_readings &f = r.features[feature_of_value[by_metric[next]]];
            const std::string &prefix = prefixes[feature_of_value[by_metric[next]]];
            const char *kind = kind_of(f.feature, v.subfeature);
            text.append(metrics[m].name, name_length);
            text.append(prefix);
            text.append(kind, strlen(kind));
            text.append("\"} ", 3);
            char value[PROMETHEUS_VALUE_SIZE];
            text.append(value, format_prometheus_value(v.value, value));
            text += '\n';
        }
    }

    append_header(text, "hwkit_sensors_read_errors", "Subfeatures of the chip that could not be read in this export.");
    for (size_t ci = 0; ci < r.chips.size(); ci++)
        append_printf(text, "hwkit_sensors_read_errors{chip=\"%s\"} %d\n", chips[ci].c_str(), r.chips[ci].errors);
    append_header(text, "hwkit_sensors_export_timestamp_seconds",
                  "When sensors-export read the chips, in seconds since the epoch.");
    append_printf(text, "hwkit_sensors_export_timestamp_seconds %lld\n", (long long)now);
    fwrite(text.data(), 1, text.size(), out);
}
