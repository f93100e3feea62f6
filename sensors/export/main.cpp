// sensors-export: the readings of the hardware-monitoring chips, with the
// configuration applied as sensors applies it, for programs: one JSON
// document, or Prometheus' text format for the node exporter's textfile
// collector; on standard output or into a file that is replaced whole.
#include "sensors/configuration.h"
#include "sensors/export/formats.h"
#include "sensors/export/readings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <getopt.h>
#include <sensors/sensors.h>
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

// Every detected chip, in the library's order: an array for the caller to
// free, with its length in *count, not null when there is none; null when
// memory runs out.
static const sensors_chip_name **detected_chips(size_t *count)
{
    const sensors_chip_name **chips = nullptr;
    size_t n = 0, room = 0;
    int nr = 0;
    while (const sensors_chip_name *chip = sensors_get_detected_chips(nullptr, &nr)) {
        if (n == room) {
            room = room ? 2 * room : 64;
            const sensors_chip_name **grown = (const sensors_chip_name **)realloc(chips, room * sizeof *chips);
            if (!grown) {
                free(chips);
                return nullptr;
            }
            chips = grown;
        }
        chips[n++] = chip;
    }
    *count = n;
    return chips ? chips : (const sensors_chip_name **)malloc(sizeof *chips);
}

// Marks the detected chips that the pattern matches.  False after a message
// when it doesn't parse or matches no chip.
static bool mark_matches(const char *text, const sensors_chip_name **chips, size_t n, unsigned char *selected)
{
    sensors_chip_name pattern;
    if (sensors_parse_chip_name(text, &pattern)) {
        fprintf(stderr, "%s: Parse error in chip name `%s'\n", PROGRAM, text);
        return false;
    }
    // The chips a pattern matches come in the library's order, so each is
    // looked for from where the one before it was found.
    size_t at = 0;
    int nr = 0, matched = 0;
    while (const sensors_chip_name *chip = sensors_get_detected_chips(&pattern, &nr)) {
        for (size_t k = 0; k < n && chips[at] != chip; k++)
            at = at + 1 < n ? at + 1 : 0;
        selected[at] = 1;
        matched++;
    }
    sensors_free_chip_name(&pattern);
    if (!matched)
        fprintf(stderr, "%s: No sensor matches `%s'\n", PROGRAM, text);
    return matched;
}

// The detected chips that the patterns select, each once, in the library's
// order; every chip without patterns: an array for the caller to free, with
// its length in *count.  Null after a message when a pattern doesn't parse
// or matches no chip, when there is no chip at all, or when memory runs out.
static const sensors_chip_name **select_chips(char **patterns, int pattern_count, size_t *count)
{
    size_t n = 0;
    const sensors_chip_name **chips = detected_chips(&n);
    unsigned char *selected = pattern_count ? (unsigned char *)calloc(n + 1, 1) : nullptr;
    if (!chips || (pattern_count && !selected)) {
        fprintf(stderr, "%s: %s\n", PROGRAM, strerror(ENOMEM));
        free(chips);
        free(selected);
        return nullptr;
    }
    bool good = true;
    for (int i = 0; good && i < pattern_count; i++)
        good = mark_matches(patterns[i], chips, n, selected);
    if (good && pattern_count) {
        size_t kept = 0;
        for (size_t i = 0; i < n; i++)
            if (selected[i])
                chips[kept++] = chips[i];
        n = kept;
    }
    free(selected);
    if (good && !n) {
        fprintf(stderr, "%s: No sensors found!\n", PROGRAM);
        good = false;
    }
    if (!good) {
        free(chips);
        return nullptr;
    }
    *count = n;
    return chips;
}

static int write_output(FILE *out, const readings &r, bool prometheus)
{
    return prometheus ? write_prometheus(out, r, time(nullptr), configuration_errors()) : write_json(out, r);
}

static int write_standard_output(const readings &r, bool prometheus)
{
    errno = 0;
    bool failed = write_output(stdout, r, prometheus);
    if (fflush(stdout) == EOF || failed || ferror(stdout)) {
        fprintf(stderr, "%s: standard output: %s\n", PROGRAM, strerror(errno ? errno : EIO));
        return 1;
    }
    return 0;
}

// The file is replaced whole or not at all: the output goes to a new file
// beside it, which is renamed over it once complete.  The textfile collector
// reads only names that end in .prom, so it never sees the temporary one.
static int write_file(const char *path, const readings &r, bool prometheus)
{
    const char *slash = strrchr(path, '/');
    int folder = slash ? (int)(slash + 1 - path) : 0;
    size_t size = strlen(path) + sizeof "..XXXXXX";
    char *temporary = (char *)malloc(size);
    if (!temporary) {
        fprintf(stderr, "%s: %s: %s\n", PROGRAM, path, strerror(ENOMEM));
        return 1;
    }
    snprintf(temporary, size, "%.*s.%s.XXXXXX", folder, path, path + folder);
    int fd = mkstemp(temporary);
    if (fd < 0) {
        fprintf(stderr, "%s: %s: %s\n", PROGRAM, path, strerror(errno));
        free(temporary);
        return 1;
    }
    // Readable by the collector's user, whatever the caller's umask.
    FILE *out = fdopen(fd, "w");
    if (!out || fchmod(fd, 0644)) {
        fprintf(stderr, "%s: %s: %s\n", PROGRAM, temporary, strerror(errno));
        if (out)
            fclose(out);
        else
            close(fd);
        unlink(temporary);
        free(temporary);
        return 1;
    }
    errno = 0;
    bool failed = write_output(out, r, prometheus) || ferror(out);
    if (fclose(out) == EOF || failed || rename(temporary, path)) {
        fprintf(stderr, "%s: %s: %s\n", PROGRAM, path, strerror(errno ? errno : EIO));
        unlink(temporary);
        free(temporary);
        return 1;
    }
    free(temporary);
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
    size_t chip_count;
    const sensors_chip_name **chips = select_chips(argv + optind, argc - optind, &chip_count);
    if (!chips) {
        sensors_cleanup();
        return 1;
    }
    readings r = {};
    r.with_hwmon_names = prometheus;
    int status = 0;
    for (size_t i = 0; i < chip_count && !status; i++)
        status = read_chip(chips[i], &r) ? 1 : 0;
    if (!status)
        status = make_ids_unique(&r) ? 1 : 0;
    free(chips);
    if (status)
        fprintf(stderr, "%s: %s\n", PROGRAM, strerror(ENOMEM));
    else if (output)
        status = write_file(output, r, prometheus);
    else
        status = write_standard_output(r, prometheus);
    free_readings(&r);
    sensors_cleanup();
    return status;
}
