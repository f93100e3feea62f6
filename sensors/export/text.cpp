#include "sensors/export/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

bool text_reserve(text *t, size_t more)
{
    if (t->failed)
        return false;
    if (t->room - t->size >= more)
        return true;
    size_t room = t->room + t->room / 2;
    if (room < t->size + more)
        room = t->size + more;
    char *grown = (char *)realloc(t->data, room);
    if (!grown) {
        t->failed = true;
        return false;
    }
    t->data = grown;
    t->room = room;
    return true;
}

void text_printf(text *t, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    // One byte more for the terminating NUL, which the next piece overwrites.
    if (n < 0)
        t->failed = true;
    if (n < 0 || !text_reserve(t, (size_t)n + 1))
        return;
    va_start(args, format);
    vsnprintf(t->data + t->size, (size_t)n + 1, format, args);
    va_end(args);
    t->size += (size_t)n;
}

void text_free(text *t)
{
    free(t->data);
    *t = {};
}
