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
    int err = sensors_init(config);
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
