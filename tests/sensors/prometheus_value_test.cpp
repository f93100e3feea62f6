// Prometheus sample values: whatever the double, the text reads back as the
// very same double, through the shortcut for thousandths and whole numbers
// and past it.
#include "sensors/export/prometheus_value.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

namespace {

std::string text_of(double value)
{
    char text[PROMETHEUS_VALUE_SIZE];
    return std::string(text, format_prometheus_value(value, text));
}

// Fails unless the text parses whole to the same bits.
void expect_round_trip(double value)
{
    std::string text = text_of(value);
    char *end;
    double back = strtod(text.c_str(), &end);
    ASSERT_EQ(*end, '\0') << text;
    ASSERT_EQ(memcmp(&back, &value, sizeof back), 0) << text << " for " << value;
}

TEST(PrometheusValue, ThousandthsAndWholeNumbers)
{
    EXPECT_EQ(text_of(1.25), "1.25");
    EXPECT_EQ(text_of(0.005), "0.005");
    EXPECT_EQ(text_of(-1.05), "-1.05");
    EXPECT_EQ(text_of(3000), "3000");
    EXPECT_EQ(text_of(0), "0");
    for (long n = -2000000; n <= 2000000; n++)
        expect_round_trip(n / 1000.0);
    for (long n = -100000; n <= 100000; n++)
        expect_round_trip(n / 1e6);
    for (double big : {999999999999.999, 1e12, 1e15, 123456789012.345, 9007199254740993.0})
        expect_round_trip(big);
}

TEST(PrometheusValue, EveryOtherDouble)
{
    std::mt19937_64 random(20);
    for (int i = 0; i < 200000; i++) {
        uint64_t bits = random();
        double value;
        memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            expect_round_trip(value);
        expect_round_trip((double)(random() % 100000) * 6.3684 / 1000);
    }
    expect_round_trip(std::numeric_limits<double>::denorm_min());
    expect_round_trip(std::numeric_limits<double>::max());
    EXPECT_EQ(text_of(NAN), "NaN");
    EXPECT_EQ(text_of(INFINITY), "+Inf");
    EXPECT_EQ(text_of(-INFINITY), "-Inf");
}

} // namespace
