// Calls psumon's IPMI readers and its dispatch in the guest, over the real
// IPMI device, and prints what each returned after what it printed itself.
//
//   appliance-ipmi-readers x11ds | x9ds | x10drli | flag=ID | flagex=ID ...
//
// "psumon -test" as it runs on a board whose identifier QEMU cannot give
// device 00:1C.0: the banner, then the dispatch for ID with only the debug
// line on, its result as the exit status.
//
//   appliance-ipmi-readers test-as=ID
#include "psumon/psumon.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int call(const char *what)
{
    if (!strcmp(what, "x11ds"))
        return get_x11ds_power_state();
    if (!strcmp(what, "x9ds"))
        return get_x9ds_power_state();
    if (!strcmp(what, "x10drli"))
        return get_x10drli_power_state();
    if (!strncmp(what, "flag=", 5))
        return get_power_flag((int)strtoul(what + 5, nullptr, 0));
    if (!strncmp(what, "flagex=", 7))
        return get_power_flag_ex((int)strtoul(what + 7, nullptr, 0));
    fprintf(stderr, "appliance-ipmi-readers: unknown reader %s\n", what);
    exit(2);
}

static int test_as(const char *id)
{
    printf("psumon v0.5\n");
    fflush(stdout);
    g_bPrintStatus = 0;
    g_bPrintDebugInfo = 1;
    return get_power_flag((int)strtoul(id, nullptr, 0));
}

int main(int argc, char **argv)
{
    if (argc == 2 && !strncmp(argv[1], "test-as=", 8))
        return test_as(argv[1] + 8);
    g_bPrintStatus = 1;
    g_bPrintDebugInfo = 1;
    for (int i = 1; i < argc; i++) {
        int result = call(argv[i]);
        printf("%s returned %d\n", argv[i], result);
        fflush(stdout);
    }
    return 0;
}
