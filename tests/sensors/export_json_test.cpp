// The JSON writer of sensors-export alone, over readings made here: every
// value comes out as the very double it was, the one the Prometheus text
// reads back as, or as null where JSON has no number; a failed read is an
// error text, never a number.
#include "sensors/export/formats.h"
#include "sensors/export/prometheus_value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sensors/error.h>
#include <string>
#include <vector>

namespace {

using json = nlohmann::ordered_json;

// One chip with one voltage feature whose subfeatures v0, v1, ... hold the values.
struct one_feature {
    std::vector<std::string> names;
    std::vector<sensors_subfeature> subfeatures;
    std::vector<reading> values;
    sensors_feature feature = {const_cast<char *>("in0"), 0, SENSORS_FEATURE_IN, 0, 0};
    chip_readings chip = {};
    feature_readings features[1] = {};
    readings r = {};

    explicit one_feature(const std::vector<double> &numbers, const std::vector<int> &errors = {})
    {
        size_t n = numbers.size();
        names.reserve(n);
        subfeatures.resize(n);
        values.resize(n);
        for (size_t i = 0; i < n; i++) {
            names.push_back("v" + std::to_string(i));
            subfeatures[i] = {names[i].data(), (int)i, SENSORS_SUBFEATURE_IN_INPUT, 0, SENSORS_MODE_R};
            values[i] = {&subfeatures[i], numbers[i], i < errors.size() ? errors[i] : 0};
        }
        snprintf(chip.name, sizeof chip.name, "nct6775-isa-0290");
        chip.id = const_cast<char *>("platform_nct6775_656");
        chip.count = 1;
        features[0] = {&feature, nullptr, 0, n};
        r.chips = &chip;
        r.features = features;
        r.values = values.data();
        r.chip_count = r.feature_count = 1;
        r.value_count = n;
    }

    json write()
    {
        char *text = nullptr;
        size_t size = 0;
        FILE *out = open_memstream(&text, &size);
        EXPECT_EQ(write_json(out, r), 0);
        fclose(out);
        std::string document(text, size);
        free(text);
        EXPECT_EQ(document.back(), '\n');
        return json::parse(document);
    }
};

bool same_double(double a, double b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

double prometheus_value(double value)
{
    char text[PROMETHEUS_VALUE_SIZE + 1] = {};
    format_prometheus_value(value, text);
    return strtod(text, nullptr);
}

TEST(ExportJson, EveryValueTheDoubleItWasAndThePrometheusTextHas)
{
    std::mt19937_64 random(20);
    std::vector<double> numbers = {0, 1.25, -1.05, 12.09996, 13.373640000000002, 1e-6, 5e-4, 1e21, 1234.56789,
                                   std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max()};
    while (numbers.size() < 50000) {
        uint64_t bits = random();
        double value;
        memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            numbers.push_back(value);
        numbers.push_back((double)(random() % 1000000) * (double)(random() % 100000) / 1e7);
    }
    one_feature f(numbers);
    json doc = f.write();
    const json &values = doc["chips"][0]["features"][0]["values"];
    ASSERT_EQ(values.size(), numbers.size());
    size_t i = 0;
    for (const auto &[name, value] : values.items()) {
        ASSERT_EQ(name, f.names[i]);
        ASSERT_TRUE(value.is_number_float()) << name << ": " << value;
        ASSERT_TRUE(same_double(value.get<double>(), numbers[i])) << name << ": " << value << " for " << numbers[i];
        ASSERT_TRUE(same_double(value.get<double>(), prometheus_value(numbers[i]))) << name << ": " << value;
        i++;
    }
}

TEST(ExportJson, NullWhereJsonHasNoNumberAndErrorsAsText)
{
    one_feature f({NAN, INFINITY, -INFINITY, 2.5, 0}, {0, 0, 0, -SENSORS_ERR_ACCESS_R, -SENSORS_ERR_IO});
    json doc = f.write();
    const json &feature = doc["chips"][0]["features"][0];
    EXPECT_EQ(feature["values"].dump(), R"({"v0":null,"v1":null,"v2":null})");
    EXPECT_EQ(feature["errors"], json({{"v3", sensors_strerror(-SENSORS_ERR_ACCESS_R)},
                                       {"v4", sensors_strerror(-SENSORS_ERR_IO)}}));
}

} // namespace
