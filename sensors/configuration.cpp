#include "sensors/configuration.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sensors/error.h>
#include <sensors/sensors.h>
#include <sys/stat.h>

// A folder opens for reading but is no configuration: it is refused like a
// file that can't be opened, before the library's scanner meets it.
static FILE *open_config(const char *config_file)
{
    FILE *f = strcmp(config_file, "-") ? fopen(config_file, "r") : stdin;
    if (!f)
        return nullptr;
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        if (f != stdin)
            fclose(f);
        errno = EISDIR;
        return nullptr;
    }
    return f;
}

static void (*report_parse_error)(const char *err, const char *filename, int lineno);
static int parse_errors;

// Counts each statement the library reports, and reports it as it would.
static void count_parse_error(const char *err, const char *filename, int lineno)
{
    parse_errors++;
    report_parse_error(err, filename, lineno);
}

int configuration_errors()
{
    return parse_errors;
}

int load_configuration(const char *config_file)
{
    FILE *config = nullptr;
    if (config_file) {
        config = open_config(config_file);
        if (!config) {
            fprintf(stderr, "Could not open config file\n");
            perror(config_file);
            return 1;
        }
    }
    report_parse_error = sensors_parse_error_wfn;
    sensors_parse_error_wfn = count_parse_error;
    int err = sensors_init(config);
    sensors_parse_error_wfn = report_parse_error;
    if (err) {
        fprintf(stderr, "sensors_init: %s\n", sensors_strerror(err));
        if (config)
            fclose(config);
        return 1;
    }
    if (config && fclose(config) == EOF)
        perror(config_file);
    return 0;
}
