// A sample's value as Prometheus' text format writes it.
#pragma once

#include <cstddef>

const size_t PROMETHEUS_VALUE_SIZE = 32;

// The value in the shortest digits that read back as the same double, or
// NaN, +Inf, -Inf, into text (PROMETHEUS_VALUE_SIZE bytes, not terminated);
// its length.
size_t format_prometheus_value(double value, char *text);
