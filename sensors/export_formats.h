// The two output formats of sensors-export.
#pragma once

#include "sensors/readings.h"

#include <cstdio>
#include <ctime>

// One JSON document: the chips with their features, each with its readable
// subfeatures' values and the errors of those that failed.
void write_json(FILE *out, const readings &r);

// Prometheus' text exposition format: a metric per feature class, alarms
// and faults, read errors per chip, and the time of the export.
void write_prometheus(FILE *out, const readings &r, time_t now);
