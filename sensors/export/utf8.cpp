#include "sensors/export/utf8.h"

#include <cstdlib>
#include <cstring>

size_t utf8_length(const unsigned char *p, size_t *bad)
{
    unsigned char c = p[0], low = 0x80, high = 0xBF;
    size_t length;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2;
    else if (c == 0xE0)
        length = 3, low = 0xA0;
    else if (c == 0xED)
        length = 3, high = 0x9F;
    else if (c >= 0xE1 && c <= 0xEF)
        length = 3;
    else if (c == 0xF0)
        length = 4, low = 0x90;
    else if (c == 0xF4)
        length = 4, high = 0x8F;
    else if (c >= 0xF1 && c <= 0xF3)
        length = 4;
    else {
        *bad = 1;
        return 0;
    }
    // The string's terminating NUL lies outside every range.
    for (size_t i = 1; i < length; i++, low = 0x80, high = 0xBF)
        if (p[i] < low || p[i] > high) {
            *bad = i;
            return 0;
        }
    return length;
}

size_t utf8_valid_length(const char *text)
{
    const unsigned char *p = (const unsigned char *)text;
    for (;;) {
        // ASCII, nearly all of every text, byte by byte; the rest as UTF-8.
        while (*p && *p < 0x80)
            p++;
        if (!*p)
            return (size_t)(p - (const unsigned char *)text);
        size_t bad, n = utf8_length(p, &bad);
        if (!n)
            return (size_t)-1;
        p += n;
    }
}

char *utf8_replaced(const char *text)
{
    // No ill-formed part is shorter than one byte, and none becomes more than three.
    char *copy = (char *)malloc(3 * strlen(text) + 1), *to = copy;
    if (!copy)
        return nullptr;
    const unsigned char *p = (const unsigned char *)text;
    while (*p) {
        size_t bad = 0, n = utf8_length(p, &bad);
        if (n) {
            memcpy(to, p, n);
            to += n, p += n;
        } else {
            memcpy(to, REPLACEMENT_CHARACTER, 3);
            to += 3, p += bad;
        }
    }
    *to = '\0';
    return copy;
}
