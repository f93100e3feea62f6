// Texts from drivers and the configuration in well-formed UTF-8, as both
// output formats of sensors-export need them: each ill-formed part becomes
// U+FFFD.
#pragma once

#include <cstddef>

const char REPLACEMENT_CHARACTER[] = "\xEF\xBF\xBD";

// How many bytes of well-formed UTF-8 start at p, or 0 with *bad set to the
// length of the ill-formed start (its maximal subpart, at least 1), which
// becomes one U+FFFD.
size_t utf8_length(const unsigned char *p, size_t *bad);

// The text's length when all of it is well-formed UTF-8; (size_t)-1 otherwise.
size_t utf8_valid_length(const char *text);

// A copy of the text with each ill-formed part replaced, for the caller to
// free; null when memory runs out.
char *utf8_replaced(const char *text);
