// The fuzz targets' way to run a whole port register tool in-process: its
// main (renamed) on the simulated appliance, with standard input, output and
// error held in memory.
//
// A fuzz input is one byte that picks the appliance, then NUL-separated
// fields: the text on standard input, then the arguments.  The tools never
// call exit and the simulator stands behind every port, so a run may go all
// the way through a dump or a write; an access without privilege ends the
// process, which the fuzzer reports as a crash.
#pragma once

#include "sim/hwsim.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

struct tool_run {
    std::vector<std::string> args;
    std::string input;
    int status = -1;
    std::string out, err, trace;
};

// An appliance with a Super-I/O chip at 0x2E (default key), one at 0x4E with
// a key of its own, index/data chips with a bank, with an address register
// that reads back 0x80 and with wide accesses, and some plain ports; then the
// same appliance with each way in which the kernel can refuse port access.
static const char *const TOOL_APPLIANCE = "superio 2e\nreg 07 05\nldn 9 30 01\n"
                                          "superio 4e key 87,01,55,55\nreg 20 52\n"
                                          "indexed 295 296 bank 4e\nreg 4e 01\nreg 1:40 22\n"
                                          "indexed c00 c01 addr-reads 80 wide\nreg 10 34\n"
                                          "latch 290-294 5a\ninput 80 11\nlatch 378 00\nlatch fff0-ffff 77\n";
static const char *const TOOL_PRIVILEGE[] = {"", "iopl deny\n", "ioperm deny\n", "ioperm deny 2e\n",
                                             "ioperm deny 2f\n"};

static const size_t TOOL_MAX_ARGS = 12;

[[noreturn]] static void tool_fail(const tool_run &r, const char *why)
{
    fprintf(stderr, "run of:");
    for (const std::string &a : r.args)
        fprintf(stderr, " '%s'", a.c_str());
    fprintf(stderr, "\nstatus %d: %s\n--- stdout\n%s--- stderr\n%s--- trace\n%s", r.status, why, r.out.c_str(),
            r.err.c_str(), r.trace.c_str());
    abort();
}

static bool ends_with(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

static std::string take_memstream(FILE *f, char *&buf, size_t &len)
{
    fclose(f);
    std::string s(buf, len);
    free(buf);
    return s;
}

// Runs the tool over one fuzz input; false for an input too short to hold a run.
static bool tool_run_input(int (*tool_main)(int, char **), const char *name, const uint8_t *data, size_t size,
                           tool_run &r)
{
    if (size < 1)
        return false;
    std::string scenario = std::string(TOOL_APPLIANCE) +
                           TOOL_PRIVILEGE[data[0] % (sizeof TOOL_PRIVILEGE / sizeof TOOL_PRIVILEGE[0])];
    std::vector<std::string> fields;
    std::string field;
    for (size_t i = 1; i < size && fields.size() <= TOOL_MAX_ARGS; i++) {
        if (data[i] == 0) {
            fields.push_back(field);
            field.clear();
        } else {
            field += (char)data[i];
        }
    }
    if (fields.size() <= TOOL_MAX_ARGS)
        fields.push_back(field);
    r.input = fields[0];
    r.args.assign(1, name);
    r.args.insert(r.args.end(), fields.begin() + 1, fields.end());

    std::string error;
    if (!hwsim_load(scenario, error)) {
        fprintf(stderr, "%s\n", error.c_str());
        abort();
    }

    std::vector<char *> argv;
    for (std::string &a : r.args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    char *out_buf = nullptr, *err_buf = nullptr;
    size_t out_len = 0, err_len = 0;
    FILE *in = fmemopen(r.input.data(), r.input.size(), "r");
    FILE *out = open_memstream(&out_buf, &out_len);
    FILE *err = open_memstream(&err_buf, &err_len);
    if (!in || !out || !err)
        abort();
    FILE *saved_in = stdin, *saved_out = stdout, *saved_err = stderr;
    stdin = in;
    stdout = out;
    stderr = err;
    r.status = tool_main((int)r.args.size(), argv.data());
    stdin = saved_in;
    stdout = saved_out;
    stderr = saved_err;
    fclose(in);
    r.out = take_memstream(out, out_buf, out_len);
    r.err = take_memstream(err, err_buf, err_len);
    r.trace = hwsim_take_trace();
    return true;
}

// What holds for every run of either tool.
static void tool_check_common(const tool_run &r, const std::string &usage)
{
    if (r.status != 0 && r.status != 1)
        tool_fail(r, "exit status neither 0 nor 1");
    if (r.trace.find("fault") != std::string::npos)
        tool_fail(r, "a port touched without privilege");
    bool stopped_early = ends_with(r.err, usage) || r.err == "Error: Cannot use key in flat mode\n" ||
                         r.err == "Error: Can only be run as root (or make it suid root)\n";
    if (stopped_early && (r.status != 1 || !r.trace.empty() || !r.out.empty()))
        tool_fail(r, "an argument or root error after touching the hardware, or with status 0");
    if (r.status == 1 && !stopped_early && r.err.find("Error: Could not ") == std::string::npos)
        tool_fail(r, "status 1 without a message that explains it");
    if (r.status == 1 && (r.trace.find("\nin") != std::string::npos || r.trace.find("\nout") != std::string::npos))
        tool_fail(r, "status 1 after port traffic");
}
