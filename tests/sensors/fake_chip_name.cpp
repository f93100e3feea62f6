// Stands in for the library's chip-name formatting, which then fails for
// every chip, as it would for a chip it cannot name.
#include <sensors/error.h>
#include <sensors/sensors.h>

int sensors_snprintf_chip_name(char *, size_t, const sensors_chip_name *)
{
    return -SENSORS_ERR_CHIP_NAME;
}
