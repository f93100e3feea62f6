// Fuzz target: superio_parse_key over arbitrary texts.
//
// Besides the sanitizers' checks: the record never holds more than eight
// bytes nor writes past its count; an accepted key has as many elements as
// its text has commas plus one (or eight, after which the rest is ignored),
// and its bytes, written out again, give the same key.
#include "regtools/superio.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static void fail(const char *why, const std::string &text)
{
    fprintf(stderr, "superio_parse_key(\"%s\"): %s\n", text.c_str(), why);
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();   // up to the first NUL, as an argument would be

    unsigned char key[SUPERIO_KEY_RECORD + 1];
    memset(key, 0xEE, sizeof key);
    int result = superio_parse_key(key, text.c_str());
    if (result != 0 && result != -1)
        fail("result neither 0 nor -1", text);
    if (key[0] > SUPERIO_KEY_MAX)
        fail("count above 8", text);
    if (key[SUPERIO_KEY_RECORD] != 0xEE)
        fail("wrote past the record", text);
    for (int i = key[0] + 1; i <= SUPERIO_KEY_MAX; i++)
        if (key[i] != 0xEE)
            fail("wrote past the count", text);
    if (result != 0)
        return 0;

    int count = key[0];
    size_t commas = 0;
    for (char c : text)
        commas += c == ',';
    if (count == 0)
        fail("accepted without a byte", text);
    if (count < SUPERIO_KEY_MAX ? commas != (size_t)count - 1 : commas < SUPERIO_KEY_MAX - 1)
        fail("element count and commas disagree", text);

    std::string again;
    for (int i = 1; i <= count; i++)
        again += (i > 1 ? "," : "") + std::to_string(key[i]);
    unsigned char round[SUPERIO_KEY_RECORD];
    if (superio_parse_key(round, again.c_str()) != 0 || memcmp(round, key, (size_t)count + 1) != 0)
        fail("the key written out again is another key", text);
    return 0;
}
