#include "sensors/export/prometheus_value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The decimal digits of n, at least width of them, written backwards from
// end; where they start.
static char *digits_backwards(char *end, unsigned long long n, int width)
{
    char *start = end;
    do {
        *--start = (char)('0' + n % 10);
        n /= 10;
    } while (n);
    while (end - start < width)
        *--start = '0';
    return start;
}

// The fewest significant digits, 15 to 17, that read back as the value: 15
// digits always do where the value has a decimal of 15 digits or fewer,
// which is then the one printed, trailing zeros gone; 17 always do.
static size_t shortest_digits(double value, char *text)
{
    int n = 0;
    for (int precision = 15; precision <= 17; precision++) {
        n = snprintf(text, PROMETHEUS_VALUE_SIZE, "%.*g", precision, value);
        if (strtod(text, nullptr) == value)
            break;
    }
    return (size_t)n;
}

// Most values are a driver's integer in thousandths, or a whole number (fans,
// flags): those are written from that integer directly, for a fraction of
// the cost of printf's conversion.  The text reads back as the same double
// because the quotient of two integers below 2^53 is the double nearest to
// it, and no shorter decimal lies as near, thousandths being far apart
// beside the spacing of doubles below 10^12.
size_t format_prometheus_value(double value, char *text)
{
    const char *special = std::isnan(value) ? "NaN" : !std::isinf(value) ? nullptr : value > 0 ? "+Inf" : "-Inf";
    if (special) {
        size_t n = strlen(special);
        memcpy(text, special, n);
        return n;
    }
    double thousandths = std::nearbyint(value * 1000);
    if (!(std::fabs(thousandths) < 1e15 && thousandths / 1000 == value))
        return shortest_digits(value, text);

    char digits[PROMETHEUS_VALUE_SIZE];
    char *end = digits + sizeof digits, *point = end;
    unsigned long long n = (unsigned long long)std::fabs(thousandths);
    unsigned long long fraction = n % 1000;
    if (fraction) {
        int width = 3;
        for (; fraction % 10 == 0; fraction /= 10)
            width--;
        point = digits_backwards(end, fraction, width);
        *--point = '.';
    }
    char *start = digits_backwards(point, n / 1000, 1);
    if (thousandths < 0)
        *--start = '-';
    memcpy(text, start, end - start);
    return end - start;
}
