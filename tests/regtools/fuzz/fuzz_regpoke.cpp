// Fuzz target: regpoke's whole run (options, argument tests, questions, port
// access, read-modify-write, read-back) on the simulated appliance.  See
// tool_run.h for the input.
//
// Besides the checks for every run: nothing goes to standard output, and a
// run that wrote ends with the read-back, after exactly one write of the value.
#include "tool_run.h"
#include "../tool_texts.h"

#include <sstream>

int regpoke_main(int argc, char *argv[]);


static void check_write(const tool_run &r)
{
    if (!r.out.empty())
        tool_fail(r, "something on standard output");
    if (r.status != 0 || r.trace.empty())
        return;
    bool declined = ends_with(r.err, "Aborting on user request.\n");
    std::istringstream trace(r.trace);
    std::string t, last;
    int accesses = 0;
    while (std::getline(trace, t))
        if (t.rfind("in", 0) == 0 || t.rfind("out", 0) == 0) {
            accesses++;
            last = t;
        }
    if (declined) {
        // only the second question can be declined after port access: the old value was read
        if (r.err.find("Old value") == std::string::npos || last.rfind("in", 0) != 0)
            tool_fail(r, "declined after port traffic without the second question");
        return;
    }
    if (last.rfind("in", 0) != 0)
        tool_fail(r, "a write without its read-back");
    // [index] [old value read, [index]] [index] write, read-back
    if (accesses < 2 || accesses > 6)
        tool_fail(r, "more port traffic than one read-modify-write");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tool_run r;
    if (!tool_run_input(regpoke_main, "regpoke", data, size, r))
        return 0;
    tool_check_common(r, REGPOKE_USAGE);
    check_write(r);
    return 0;
}
