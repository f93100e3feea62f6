// Fuzz target: user_ack over arbitrary standard input.
//
// The first byte picks the default answer; the rest is standard input, read
// by one user_ack call after another until it is used up.  Each answer is
// checked against the rule (first character of the line decides, any other
// takes the default, the end of input answers no), and each call must leave
// the input just after its line.
#include "regtools/util.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

static void fail(const char *why, size_t line)
{
    fprintf(stderr, "user_ack, line %zu: %s\n", line, why);
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    int def = data[0] & 1;
    const uint8_t *input = data + 1;
    size_t length = size - 1;

    FILE *in = fmemopen(const_cast<uint8_t *>(input), length, "r");
    if (!in)
        return 0;
    FILE *saved = stdin;
    stdin = in;

    size_t at = 0, line = 0;
    for (;;) {
        int expected;
        size_t next = at;
        while (next < length && input[next] != '\n')
            next++;
        if (at == length || next == length) {
            expected = 0;   // no line, or a line the input ends in
            next = length;
        } else {
            int c = input[at];
            expected = c == 'y' || c == 'Y' ? 1 : c == 'n' || c == 'N' ? 0 : def;
            next++;
        }
        int answer = user_ack(def);
        if (answer != expected)
            fail(answer == 0 || answer == 1 ? "wrong answer" : "answer neither 0 nor 1", line);
        if ((size_t)ftell(stdin) != next)
            fail("did not stop right after its line", line);
        if (at == length)
            break;
        at = next;
        line++;
    }

    stdin = saved;
    fclose(in);
    return 0;
}
