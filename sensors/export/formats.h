// The two output formats of sensors-export.
#pragma once

#include "sensors/export/readings.h"

#include <cstdio>
#include <ctime>

// Both write to out and return 0, or -1 with errno set when memory runs out;
// whether out took the text is for its caller to ask.

// One JSON document: the chips with their features, each with its readable
// subfeatures' values and the errors of those that failed.
int write_json(FILE *out, const readings &r);

// Prometheus' text exposition format: the node exporter's hwmon metrics,
// the chips' names, the sensors' labels, read errors per chip, the
// configuration's errors and the time of the export.
int write_prometheus(FILE *out, const readings &r, time_t now, int config_errors);
