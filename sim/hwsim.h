// The simulated appliance, seen from tests that drive it in-process.
//
// Test and demo builds link the simulator in place of the real hardware
// backend.  A program started as a process loads its scenario from the file
// named by HWSIM_SCENARIO on its first hardware access, appends its trace to
// the file named by HWSIM_TRACE and writes the final register state to the
// file named by HWSIM_STATE when it ends; HWSIM_LOCK names a real lock file
// for the port lock, which is otherwise only traced.  Only simulated builds
// read these.
#pragma once

#include <string>

// Replaces the whole appliance by the scenario's; false with a message on a
// malformed scenario.  Clears the trace.
bool hwsim_load(const std::string &scenario, std::string &error);

// The trace written since the last load or take.
std::string hwsim_take_trace();

// The registers as a later read would find them, in scenario syntax.
std::string hwsim_state();
