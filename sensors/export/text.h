// A text made in memory piece by piece, grown with realloc as it goes.
#pragma once

#include <cstddef>
#include <cstring>

// All zero to start.  Once memory has run out, failed is set and nothing
// more is added.
struct text {
    char *data;
    size_t size, room;
    bool failed;
};

// Room for more bytes after the text: false once memory has run out.
bool text_reserve(text *t, size_t more);

// Bytes appended where text_reserve has made room for them.
inline void text_put(text *t, const char *bytes, size_t n)
{
    memcpy(t->data + t->size, bytes, n);
    t->size += n;
}

inline void text_append(text *t, const char *bytes, size_t n)
{
    if (text_reserve(t, n))
        text_put(t, bytes, n);
}

// printf's formatting, appended.
__attribute__((format(printf, 2, 3))) void text_printf(text *t, const char *format, ...);

void text_free(text *t);
