// sensors-export: the readings of the hardware-monitoring chips, with the
// configuration applied as sensors applies it, for programs: one JSON
// document, or Prometheus' text format for the node exporter's textfile
// collector; on standard output or into a file that is replaced whole.
#include "sensors/configuration.h"
#include "sensors/export_formats.h"
#include "sensors/readings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <getopt.h>
#include <sensors/sensors.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

static const char PROGRAM[] = "sensors-export";

static void print_usage(FILE *out)
{
    fprintf(out, "Usage: %s [--json | --prometheus] [-c CONFIG] [-o FILE] [CHIP]...\n", PROGRAM);
    fputs("      --json            One JSON document (the default)\n"
          "      --prometheus      Prometheus' text format\n"
          "  -c, --config-file     Specify a config file (- for standard input)\n"
          "  -o, --output          Replace FILE with the output instead of writing to\n"
          "                        standard output\n"
          "  -h, --help            Display this help text\n",
          out);
}

// The detected chips that the patterns select, each once, in the library's
// order; every chip without patterns.  False after a message when a pattern
// doesn't parse or matches no chip, or when there is no chip at all.
static bool select_chips(char **patterns, int count, std::vector<const sensors_chip_name *> *chips)
{
    std::set<const sensors_chip_name *> selected;
    for (int i = 0; i < count; i++) {
        sensors_chip_name pattern;
        if (sensors_parse_chip_name(patterns[i], &pattern)) {
            fprintf(stderr, "%s: Parse error in chip name `%s'\n", PROGRAM, patterns[i]);
            return false;
        }
        int nr = 0, matched = 0;
        while (const sensors_chip_name *chip = sensors_get_detected_chips(&pattern, &nr)) {
            selected.insert(chip);
            matched++;
        }
        sensors_free_chip_name(&pattern);
        if (!matched) {
            fprintf(stderr, "%s: No sensor matches `%s'\n", PROGRAM, patterns[i]);
            return false;
        }
    }
    int nr = 0;
    while (const sensors_chip_name *chip = sensors_get_detected_chips(nullptr, &nr))
        if (!count || selected.count(chip))
            chips->push_back(chip);
    if (chips->empty()) {
        fprintf(stderr, "%s: No sensors found!\n", PROGRAM);
        return false;
    }
    return true;
}

static void write_output(FILE *out, const readings &r, bool prometheus)
{
    if (prometheus)
        write_prometheus(out, r, time(nullptr));
    else
        write_json(out, r);
}

// The file is replaced whole or not at all: the output goes to a new file
// beside it, which is renamed over it once complete.  The textfile collector
// reads only names that end in .prom, so it never sees the temporary one.
static int write_file(const char *path, const readings &r, bool prometheus)
{
    std::string name = path;
    size_t base = name.rfind('/') + 1;   // 0 without a folder
    std::string temporary = name.substr(0, base) + "." + name.substr(base) + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        fprintf(stderr, "%s: %s: %s\n", PROGRAM, path, strerror(errno));
        return 1;
    }
    // As any new file is made: readable by the collector's user under the usual umask.
    mode_t mask = umask(0);
    umask(mask);
    FILE *out = fdopen(fd, "w");
    if (!out || fchmod(fd, 0666 & ~mask)) {
        fprintf(stderr, "%s: %s: %s\n", PROGRAM, temporary.c_str(), strerror(errno));
        if (out)
            fclose(out);
        else
            close(fd);
        unlink(temporary.c_str());
        return 1;
    }
    errno = 0;
    write_output(out, r, prometheus);
    bool failed = ferror(out);
    if (fclose(out) == EOF || failed || rename(temporary.c_str(), path)) {
        fprintf(stderr, "%s: %s: %s\n", PROGRAM, path, strerror(errno ? errno : EIO));
        unlink(temporary.c_str());
        return 1;
    }
    return 0;
}

int main(int argc, char *argv[])
{
    enum { JSON = 256, PROMETHEUS };
    static const struct option long_opts[] = {
        {"json", no_argument, nullptr, JSON},
        {"prometheus", no_argument, nullptr, PROMETHEUS},
        {"config-file", required_argument, nullptr, 'c'},
        {"output", required_argument, nullptr, 'o'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    const char *config_file = nullptr, *output = nullptr;
    bool prometheus = false;
    int c;
    while ((c = getopt_long(argc, argv, "c:o:h", long_opts, nullptr)) != -1) {
        switch (c) {
        case JSON:
            prometheus = false;
            break;
        case PROMETHEUS:
            prometheus = true;
            break;
        case 'c':
            config_file = optarg;
            break;
        case 'o':
            output = optarg;
            break;
        case 'h':
            print_usage(stdout);
            return 0;
        default:
            fprintf(stderr, "Try `%s --help' for more information\n", PROGRAM);
            return 1;
        }
    }

    if (load_configuration(config_file))
        return 1;
    std::vector<const sensors_chip_name *> chips;
    if (!select_chips(argv + optind, argc - optind, &chips)) {
        sensors_cleanup();
        return 1;
    }
    readings r;
    for (const sensors_chip_name *chip : chips)
        read_chip(chip, &r);

    int status = 0;
    if (output) {
        status = write_file(output, r, prometheus);
    } else {
        errno = 0;
        write_output(stdout, r, prometheus);
        if (fflush(stdout) == EOF || ferror(stdout)) {
            fprintf(stderr, "%s: standard output: %s\n", PROGRAM, strerror(errno ? errno : EIO));
            status = 1;
        }
    }
    free_readings(&r);
    sensors_cleanup();
    return status;
}
