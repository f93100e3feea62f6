// The JSON document of sensors-export, built and written by nlohmann's
// library.  Labels and names come from drivers and the configuration: bytes
// that are not UTF-8 become U+FFFD rather than an exception.
#include "sensors/export_formats.h"

#include <nlohmann/json.hpp>
#include <sensors/error.h>

using json = nlohmann::ordered_json;

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

// Objects are filled through their container, reserved to size: the
// document holds a member for every value of every chip.
static json feature_object(const readings &r, const feature_readings &f)
{
    json::object_t values, errors;
    values.reserve(f.count);
    for (size_t i = f.first; i < f.first + f.count; i++) {
        const reading &v = r.values[i];
        if (v.error)
            errors.emplace(v.subfeature->name, sensors_strerror(v.error));
        else
            values.emplace(v.subfeature->name, v.value);   // NaN and infinities print as null
    }
    json::object_t feature;
    feature.reserve(5);
    feature.emplace("name", f.feature->name);
    feature.emplace("label", label_of(f));
    feature.emplace("class", class_name(f.feature->type));
    feature.emplace("values", std::move(values));
    feature.emplace("errors", std::move(errors));
    return json(std::move(feature));
}

void write_json(FILE *out, const readings &r)
{
    json::array_t chips;
    chips.reserve(r.chips.size());
    for (const chip_readings &c : r.chips) {
        json::array_t features;
        features.reserve(c.count);
        for (size_t i = c.first; i < c.first + c.count; i++)
            features.push_back(feature_object(r, r.features[i]));
        json::object_t chip;
        chip.reserve(3);
        chip.emplace("name", c.name);
        chip.emplace("adapter", c.adapter ? json(c.adapter) : json(nullptr));
        chip.emplace("features", std::move(features));
        chips.push_back(std::move(chip));
    }
    json::object_t doc;
    doc.emplace("chips", std::move(chips));
    std::string text = json(std::move(doc)).dump(-1, ' ', false, json::error_handler_t::replace);
    text += '\n';
    fwrite(text.data(), 1, text.size(), out);
}
