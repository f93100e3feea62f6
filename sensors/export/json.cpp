// The JSON document of sensors-export, written as it goes by RapidJSON's
// writer.  Labels and names come from drivers and the configuration: bytes
// that are not UTF-8 become U+FFFD before the writer sees them.
#include "sensors/export/formats.h"
#include "sensors/export/utf8.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sensors/error.h>

// RapidJSON makes the allocator of its writer's stack with new and frees it
// with delete, which live in the C++ library; here the C library's malloc
// and free serve, as everywhere else in this program.
#define RAPIDJSON_NEW(x) new (malloc(sizeof(decltype(x)))) x
#define RAPIDJSON_DELETE(x) free(x)
#include <rapidjson/filewritestream.h>
#include <rapidjson/writer.h>

using json_writer = rapidjson::Writer<rapidjson::FileWriteStream>;

// The class of a feature as its attributes are named: "in", "fan", "temp".
static const char *class_name(int feature_type)
{
    static const char *const class_names[] = {"in", "fan", "temp", "power", "energy", "curr", "humidity"};
    if (feature_type >= 0 && feature_type < (int)(sizeof class_names / sizeof class_names[0]))
        return class_names[feature_type];
    switch (feature_type) {
    case SENSORS_FEATURE_VID:
        return "vid";
    case SENSORS_FEATURE_INTRUSION:
        return "intrusion";
    case SENSORS_FEATURE_BEEP_ENABLE:
        return "beep_enable";
    default:
        return "unknown";
    }
}

// A name or a value from outside: false when memory runs out for its
// replacement characters.
static bool write_text(json_writer &w, const char *text)
{
    size_t length = utf8_valid_length(text);
    if (length != (size_t)-1)
        return w.String(text, (rapidjson::SizeType)length);
    char *replaced = utf8_replaced(text);
    if (!replaced)
        return false;
    w.String(replaced);
    free(replaced);
    return true;
}

static bool write_feature(json_writer &w, const readings &r, const feature_readings &f)
{
    w.StartObject();
    w.Key("name", 4);
    if (!write_text(w, f.feature->name))
        return false;
    w.Key("label", 5);
    if (!write_text(w, label_of(f)))
        return false;
    w.Key("class", 5);
    w.String(class_name(f.feature->type));
    w.Key("values", 6);
    w.StartObject();
    for (size_t i = f.first; i < f.first + f.count; i++) {
        const reading &v = r.values[i];
        if (v.error)
            continue;
        if (!write_text(w, v.subfeature->name))
            return false;
        if (std::isfinite(v.value))
            w.Double(v.value);
        else
            w.Null();   // JSON has no number for NaN and the infinities
    }
    w.EndObject();
    w.Key("errors", 6);
    w.StartObject();
    for (size_t i = f.first; i < f.first + f.count; i++) {
        const reading &v = r.values[i];
        if (!v.error)
            continue;
        if (!write_text(w, v.subfeature->name))
            return false;
        w.String(sensors_strerror(v.error));
    }
    w.EndObject();
    return w.EndObject();
}

static bool write_chip(json_writer &w, const readings &r, const chip_readings &c)
{
    w.StartObject();
    w.Key("name", 4);
    if (!write_text(w, c.name))
        return false;
    w.Key("id", 2);
    w.String(c.id);
    w.Key("adapter", 7);
    if (!(c.adapter ? write_text(w, c.adapter) : w.Null()))
        return false;
    w.Key("features", 8);
    w.StartArray();
    for (size_t i = c.first; i < c.first + c.count; i++)
        if (!write_feature(w, r, r.features[i]))
            return false;
    w.EndArray();
    return w.EndObject();
}

int write_json(FILE *out, const readings &r)
{
    char buffer[65536];
    rapidjson::FileWriteStream stream(out, buffer, sizeof buffer);
    json_writer w(stream);
    w.StartObject();
    w.Key("chips", 5);
    w.StartArray();
    for (size_t i = 0; i < r.chip_count; i++)
        if (!write_chip(w, r, r.chips[i])) {
            errno = ENOMEM;
            return -1;
        }
    w.EndArray();
    w.EndObject();   // the document's end: the writer flushes the stream
    putc('\n', out);
    return 0;
}
