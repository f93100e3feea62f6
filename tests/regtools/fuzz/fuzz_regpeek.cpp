// Fuzz target: regpeek's whole run (options, argument tests, question, port
// access, dump) on the simulated appliance.  See tool_run.h for the input.
//
// Besides the checks for every run: a dump is a header and 1 to 16 rows,
// each row ending in a blank; in flat mode every port touched lies inside
// the rows shown, so no dump leaves the port space or its range.
#include "tool_run.h"
#include "../tool_texts.h"

#include <sstream>

int regpeek_main(int argc, char *argv[]);


static void check_dump(const tool_run &r)
{
    if (r.out.empty())
        return;
    if (r.status != 0)
        tool_fail(r, "a dump with status 1");
    std::istringstream lines(r.out);
    std::string header, row;
    std::getline(lines, header);
    bool flat = false;
    long first = -1, last = -1;
    int rows = 0;
    while (std::getline(lines, row)) {
        rows++;
        if (row.empty() || row.back() != ' ')
            tool_fail(r, "a row that does not end in a blank");
        flat = row.find(':') == 4;   // "%04x: " in flat mode, "%02x: " through a register pair
        long label = strtol(row.c_str(), nullptr, 16);
        if (first < 0)
            first = label;
        last = label;
    }
    if (rows < 1 || rows > 16)
        tool_fail(r, "not 1 to 16 rows");
    if (!flat)
        return;
    std::istringstream trace(r.trace);
    std::string t;
    while (std::getline(trace, t)) {
        if (t.rfind("in", 0) != 0 && t.rfind("out", 0) != 0)
            continue;
        int width = t[t.find(' ') - 1] == 'w' ? 2 : t[t.find(' ') - 1] == 'l' ? 4 : 1;
        long port = strtol(t.c_str() + t.find(' ') + 1, nullptr, 16);
        if (port < first || port + width - 1 > last + 15)
            tool_fail(r, "a port outside the rows shown");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tool_run r;
    if (!tool_run_input(regpeek_main, "regpeek", data, size, r))
        return 0;
    tool_check_common(r, REGPEEK_USAGE);
    check_dump(r);
    return 0;
}
