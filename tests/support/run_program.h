// Runs a program as a child process on a simulated appliance and collects
// everything it said and did.
#pragma once

#include <string>
#include <vector>

struct run_request {
    std::string program;
    std::vector<std::string> args;
    std::string scenario;            // written to a file named by HWSIM_SCENARIO
    std::string input;               // standard input, closed after it
    std::string kill_after_output;   // SIGTERM once standard output holds this
    std::vector<std::string> env;    // NAME=VALUE entries, over the caller's
    std::string cwd;                 // working folder, or the caller's
    int timeout_ms = 20000;
};

struct run_result {
    std::string out;
    std::string err;
    std::string trace;               // the simulator's trace of the hardware, without the port lock
    std::string full_trace;          // the same with the port lock's lines
    std::string state;               // the registers when the program ended
    int status = -1;                 // exit status, or -1 when ended by a signal
    int signal = 0;                  // the signal that ended it, or 0
    bool timed_out = false;
};

run_result run_program(const run_request &request);

// The same request run as user nobody, without groups or capabilities.
run_request as_nobody(run_request request);

// Copies of the files in a new folder under /tmp that every user may read
// and search, under their own names, for what runs as user nobody: the
// checkout may lie where nobody cannot reach (under a mode-0700 home).  The
// folder; the caller removes it.
std::string copies_for_nobody(const std::vector<std::string> &files);

// Empty where the machine has what a test needs (root, mount-namespace,
// nobody-user-namespace: see tests/host-needs.sh), else the reason to skip.
std::string host_lacks(const std::string &need);

// The trace without the port 0x80 pause writes.
std::string without_pauses(const std::string &trace);

// Takes a write lock on the whole file at path (made if missing), as another
// program of the kit holds the port lock: the open file, or -1.  Closing it
// releases the lock.
int hold_file_lock(const std::string &path);

// The trace without the port lock's lines (lock, unlock).
std::string without_port_lock(const std::string &trace);

// Only the trace lines that begin with the prefix.
std::string trace_lines(const std::string &trace, const std::string &prefix);
