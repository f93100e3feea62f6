// The Prometheus text exposition format of sensors-export, for the node
// exporter's textfile collector: every value under the name and the chip
// and sensor labels that the collector's hwmon collector gives the same
// attribute (hwkit_ in place of node_), then what sensors adds to them.
// Each metric's lines stand together after its HELP and TYPE lines, as the
// format requires, so the values are sorted by metric first.
#include "sensors/export/formats.h"
#include "sensors/export/hwmon_metrics.h"
#include "sensors/export/prometheus_value.h"
#include "sensors/export/text.h"
#include "sensors/export/utf8.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

static void append_header(text *t, const char *name, const char *help, const char *type)
{
    text_printf(t, "# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
}

// Where a piece of the labels text lies.
struct span {
    size_t at, length;
};

// The labels of a feature's samples, into the labels text:
// {chip="…",sensor="…"}
static void feature_labels(text *labels, const char *chip, size_t chip_length, const feature_readings &f, span *s)
{
    char sensor[64];
    size_t n = hwmon_sensor_name(f.feature->name, sensor, sizeof sensor);
    s->at = labels->size;
    if (!text_reserve(labels, chip_length + n + 20))
        return;
    text_put(labels, "{chip=\"", 7);
    text_put(labels, chip, chip_length);
    text_put(labels, "\",sensor=\"", 10);
    text_put(labels, sensor, n);
    text_put(labels, "\"}", 2);
    s->length = labels->size - s->at;
}

// An array of n elements of size bytes, never a null one for none.
static void *array_of(size_t n, size_t size)
{
    return malloc(n ? n * size : 1);
}

// The samples of each metric, the chips' and features' labels: 0, or -1
// when memory runs out.
static int write_values(text *t, const readings &r)
{
    text labels = {};
    span *prefixes = (span *)array_of(r.feature_count, sizeof *prefixes);
    // The metric of each value and the values ordered by their metric, in
    // the library's order within each; feature_of_value to find the labels.
    unsigned char *metric_of_value = (unsigned char *)array_of(r.value_count, 1);
    size_t *feature_of_value = (size_t *)array_of(r.value_count, sizeof *feature_of_value);
    size_t *by_metric = (size_t *)array_of(r.value_count, sizeof *by_metric);
    unsigned char *exported = (unsigned char *)array_of(r.feature_count, 1);
    bool failed = !prefixes || !metric_of_value || !feature_of_value || !by_metric || !exported;

    // The values that have no metric, failed reads among them, count last.
    size_t counts[HWMON_METRIC_LIMIT + 1] = {};
    const size_t unexported = HWMON_METRIC_LIMIT;
    for (size_t ci = 0; !failed && ci < r.chip_count; ci++) {
        const chip_readings &c = r.chips[ci];
        size_t id_length = strlen(c.id);
        for (size_t fi = c.first; fi < c.first + c.count; fi++) {
            const feature_readings &f = r.features[fi];
            feature_labels(&labels, c.id, id_length, f, &prefixes[fi]);
            exported[fi] = 0;
            for (size_t vi = f.first; vi < f.first + f.count; vi++) {
                const reading &v = r.values[vi];
                int m = v.error ? -1 : hwmon_metric_of(v.subfeature->type);
                size_t slot = m < 0 ? unexported : (size_t)m;
                metric_of_value[vi] = (unsigned char)slot;
                feature_of_value[vi] = fi;
                counts[slot]++;
                exported[fi] |= m >= 0;
            }
        }
    }
    failed = failed || labels.failed;
    if (!failed) {
        size_t starts[HWMON_METRIC_LIMIT + 1];
        for (size_t m = 0, at = 0; m <= HWMON_METRIC_LIMIT; at += counts[m++])
            starts[m] = at;
        for (size_t vi = 0; vi < r.value_count; vi++)
            by_metric[starts[metric_of_value[vi]]++] = vi;
        text_reserve(t, r.value_count * 96 + 4096);
    }

    for (size_t m = 0, next = 0; !failed && m < HWMON_METRIC_COUNT; m++) {
        if (!counts[m])
            continue;
        const hwmon_metric &metric = HWMON_METRICS[m];
        append_header(t, metric.name, metric.help, metric.counter ? "counter" : "gauge");
        size_t name_length = strlen(metric.name);
        for (size_t end = next + counts[m]; next < end; next++) {
            const reading &v = r.values[by_metric[next]];
            const span &labels_of = prefixes[feature_of_value[by_metric[next]]];
            if (!text_reserve(t, name_length + labels_of.length + 2 + PROMETHEUS_VALUE_SIZE))
                break;
            text_put(t, metric.name, name_length);
            text_put(t, labels.data + labels_of.at, labels_of.length);
            text_put(t, " ", 1);
            double value = metric.kind == PERCENT_AS_RATIO ? v.value / 100 : v.value;
            t->size += format_prometheus_value(value, t->data + t->size);
            text_put(t, "\n", 1);
        }
        failed = t->failed;
    }

    if (!failed && r.feature_count) {
        append_header(t, "hwkit_hwmon_sensor_label",
                      "The label that sensors prints for each sensor: the configuration's, else the driver's, "
                      "else its name.",
                      "gauge");
        for (size_t fi = 0; fi < r.feature_count; fi++) {
            if (!exported[fi])
                continue;
            // {chip="…",sensor="…"} becomes {chip="…",sensor="…",label="…"}
            text_append(t, "hwkit_hwmon_sensor_label", 24);
            text_append(t, labels.data + prefixes[fi].at, prefixes[fi].length - 1);
            text_append(t, ",label=\"", 8);
            append_label_value(t, label_of(r.features[fi]));
            text_append(t, "\"} 1\n", 5);
        }
        failed = t->failed;
    }
    text_free(&labels);
    free(prefixes);
    free(metric_of_value);
    free(feature_of_value);
    free(by_metric);
    free(exported);
    return failed ? -1 : 0;
}

int write_prometheus(FILE *out, const readings &r, time_t now, int config_errors)
{
    text t = {};
    bool failed = write_values(&t, r) != 0;
    if (!failed && r.chip_count) {
        append_header(&t, "hwkit_hwmon_chip_names",
                      "Each chip's names: the node exporter's chip_name and the name that sensors prints.", "gauge");
        for (size_t ci = 0; ci < r.chip_count; ci++) {
            const chip_readings &c = r.chips[ci];
            text_printf(&t, "hwkit_hwmon_chip_names{chip=\"%s\",chip_name=\"%s\",sensors_name=\"", c.id,
                        c.hwmon_name ? c.hwmon_name : "");
            append_label_value(&t, c.name);
            text_append(&t, "\"} 1\n", 5);
        }
        append_header(&t, "hwkit_hwmon_read_errors", "Values of the chip that could not be read in this export.",
                      "gauge");
        for (size_t ci = 0; ci < r.chip_count; ci++)
            text_printf(&t, "hwkit_hwmon_read_errors{chip=\"%s\"} %d\n", r.chips[ci].id, r.chips[ci].errors);
    }
    if (!failed) {
        append_header(&t, "hwkit_sensors_export_config_errors",
                      "Statements of the configuration that the library reported as wrong when it loaded it.", "gauge");
        text_printf(&t, "hwkit_sensors_export_config_errors %d\n", config_errors);
        append_header(&t, "hwkit_sensors_export_timestamp_seconds",
                      "When sensors-export read the chips, in seconds since the epoch.", "gauge");
        text_printf(&t, "hwkit_sensors_export_timestamp_seconds %lld\n", (long long)now);
        failed = t.failed;
    }
    if (!failed)
        fwrite(t.data, 1, t.size, out);
    text_free(&t);
    if (failed) {
        errno = ENOMEM;
        return -1;
    }
    return 0;
}
