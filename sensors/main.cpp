// sensors: prints the readings, limits and alarms of the machine's
// hardware-monitoring chips, as libsensors finds and configures them.
#include "sensors/chips.h"
#include "sensors/configuration.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <iconv.h>
#include <langinfo.h>
#include <sensors/error.h>

static const char PROGRAM[] = "sensors";
static const char VERSION[] = "3.3.1";

static int do_sets;
static int do_raw;
static int hide_adapter;

static void print_short_help()
{
    printf("Try `%s -h' for more information\n", PROGRAM);
}

static void print_long_help()
{
    printf("Usage: %s [OPTION]... [CHIP]...\n", PROGRAM);
    puts("  -c, --config-file     Specify a config file\n"
         "  -h, --help            Display this help text\n"
         "  -s, --set             Execute `set' statements (root only)\n"
         "  -f, --fahrenheit      Show temperatures in degrees fahrenheit\n"
         "  -A, --no-adapter      Do not show adapter for each chip\n"
         "      --bus-list        Generate bus statements for sensors.conf\n"
         "  -u                    Raw output (debugging only)\n"
         "  -v, --version         Display the program version\n"
         "\n"
         "Use `-' after `-c' to read the config file from stdin.\n"
         "If no chips are specified, all chip info will be printed.\n"
         "Example chip names:\n"
         "\tlm78-i2c-0-2d\t*-i2c-0-2d\n"
         "\tlm78-i2c-0-*\t*-i2c-0-*\n"
         "\tlm78-i2c-*-2d\t*-i2c-*-2d\n"
         "\tlm78-i2c-*-*\t*-i2c-*-*\n"
         "\tlm78-isa-0290\t*-isa-0290\n"
         "\tlm78-isa-*\t*-isa-*\n"
         "\tlm78-*");
}

static void print_version()
{
    printf("%s version %s with libsensors version %s\n", PROGRAM, VERSION, libsensors_version);
}

// The degree sign in the locale's character set, or a blank where it has none.
static void set_degstr()
{
    const char *temperature_unit = fahrenheit ? "F" : "C";
    iconv_t cd = iconv_open(nl_langinfo(CODESET), "ISO-8859-1");
    if (cd != (iconv_t)-1) {
        char latin1[3] = {(char)0xB0, temperature_unit[0], '\0'};
        char *in = latin1;
        size_t in_left = sizeof latin1;
        char *out = degstr;
        size_t out_left = sizeof degstr;
        size_t done = iconv(cd, &in, &in_left, &out, &out_left);
        iconv_close(cd);
        if (done != (size_t)-1)
            return;
    }
    snprintf(degstr, sizeof degstr, " %s", temperature_unit);
}

// The name of a detected chip, ready to print; valid until the next call.
static const char *sprintf_chip_name(const sensors_chip_name *name)
{
    static char buf[200];
    if (sensors_snprintf_chip_name(buf, sizeof buf, name) < 0)
        return nullptr;
    return make_printable(buf);
}

// The library's adapter name, which isn't ours to change, printed a byte at a
// time.  Quoted, it is a string of the configuration, where the library reads
// \" and \\ as the characters themselves.
static void print_adapter_name(const char *adapter, bool quoted)
{
    if (quoted)
        putchar('"');
    for (const char *p = adapter; *p; p++) {
        if (quoted && (*p == '"' || *p == '\\'))
            putchar('\\');
        putchar(printable(*p));
    }
    if (quoted)
        putchar('"');
}

// The name to print for a chip: its own, or a placeholder when the library
// cannot format it.
static const char *chip_name_or_placeholder(const sensors_chip_name *chip)
{
    const char *name = sprintf_chip_name(chip);
    if (name)
        return name;
    fprintf(stderr, "Can't get chip name\n");
    return "unknown";
}

static int do_the_real_work(const sensors_chip_name *match, int *err)
{
    int chip_nr = 0;
    int count = 0;
    while (const sensors_chip_name *chip = sensors_get_detected_chips(match, &chip_nr)) {
        if (do_sets) {
            int res = sensors_do_chip_sets(chip);
            if (res == -SENSORS_ERR_KERNEL) {
                fprintf(stderr, "%s: %s\n", chip_name_or_placeholder(chip), sensors_strerror(res));
                fprintf(stderr, "Run as root?\n");
                *err = 1;
            } else if (res == -SENSORS_ERR_ACCESS_W) {
                fprintf(stderr, "%s: At least one \"set\" statement failed\n", chip_name_or_placeholder(chip));
            } else if (res) {
                fprintf(stderr, "%s: %s\n", chip_name_or_placeholder(chip), sensors_strerror(res));
            }
        } else {
            printf("%s\n", chip_name_or_placeholder(chip));
            if (!hide_adapter) {
                const char *adapter = sensors_get_adapter_name(&chip->bus);
                if (adapter) {
                    fputs("Adapter: ", stdout);
                    print_adapter_name(adapter, false);
                    putchar('\n');
                } else {
                    fprintf(stderr, "Can't get adapter name\n");
                }
            }
            if (do_raw)
                print_chip_raw(chip);
            else
                print_chip(chip);
            printf("\n");
        }
        count++;
    }
    return count;
}

// Every I2C bus once, in the order first seen, whatever its number.
static void print_bus_list()
{
    static unsigned char listed[0x10000 / 8];
    int chip_nr = 0;
    while (const sensors_chip_name *chip = sensors_get_detected_chips(nullptr, &chip_nr)) {
        if (chip->bus.type != SENSORS_BUS_TYPE_I2C)
            continue;
        unsigned short nr = (unsigned short)chip->bus.nr;
        if (listed[nr / 8] & (1u << (nr % 8)))
            continue;
        listed[nr / 8] |= (unsigned char)(1u << (nr % 8));
        const char *adapter = sensors_get_adapter_name(&chip->bus);
        if (adapter) {
            printf("bus \"i2c-%d\" ", chip->bus.nr);
            print_adapter_name(adapter, true);
            putchar('\n');
        } else {
            fprintf(stderr, "Can't get adapter name of bus i2c-%d, no bus statement for it\n", chip->bus.nr);
        }
    }
}

int main(int argc, char *argv[])
{
    static const struct option long_opts[] = {
        {"help", no_argument, nullptr, 'h'},
        {"set", no_argument, nullptr, 's'},
        {"version", no_argument, nullptr, 'v'},
        {"fahrenheit", no_argument, nullptr, 'f'},
        {"no-adapter", no_argument, nullptr, 'A'},
        {"config-file", required_argument, nullptr, 'c'},
        {"bus-list", no_argument, nullptr, 'B'},   // long only: 'B' is not a short option
        {nullptr, 0, nullptr, 0},
    };
    const char *config_file = nullptr;
    bool bus_list = false;

    setlocale(LC_CTYPE, "");
    do_raw = 0;
    do_sets = 0;
    hide_adapter = 0;
    int c;
    while ((c = getopt_long(argc, argv, "hsvfAc:u", long_opts, nullptr)) != -1) {
        switch (c) {
        case 'h':
            print_long_help();
            exit(0);
        case 'v':
            print_version();
            exit(0);
        case 'c':
            config_file = optarg;
            break;
        case 'f':
            fahrenheit = 1;
            break;
        case 's':
            do_sets = 1;
            break;
        case 'A':
            hide_adapter = 1;
            break;
        case 'u':
            do_raw = 1;
            break;
        case 'B':
            bus_list = true;
            break;
        case ':':
        case '?':
            print_short_help();
            exit(1);
        default:
            fprintf(stderr, "Internal error while parsing options!\n");
            exit(1);
        }
    }

    if (load_configuration(config_file))
        exit(1);
    int err = 0;

    set_degstr();

    if (bus_list) {
        print_bus_list();
    } else if (optind == argc) {
        if (!do_the_real_work(nullptr, &err)) {
            fprintf(stderr, "No sensors found!\n"
                            "Make sure you loaded all the kernel drivers you need.\n"
                            "Try chipscan to find out which these are.\n");
            err = 1;
        }
    } else {
        int count = 0;
        for (int i = optind; i < argc; i++) {
            sensors_chip_name pattern;
            if (sensors_parse_chip_name(argv[i], &pattern)) {
                fprintf(stderr, "Parse error in chip name `%s'\n", argv[i]);
                print_short_help();
                sensors_cleanup();
                exit(1);
            }
            count += do_the_real_work(&pattern, &err);
            sensors_free_chip_name(&pattern);
        }
        if (!count) {
            fprintf(stderr, "Specified sensor(s) not found!\n");
            err = 1;
        }
    }

    sensors_cleanup();
    exit(err);
}
