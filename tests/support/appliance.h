// In-process tests: a fresh simulated appliance with the I/O privilege raised.
#pragma once

#include "platform/portio.h"
#include "sim/hwsim.h"

#include <gtest/gtest.h>
#include <string>

inline void load_appliance(const std::string &scenario)
{
    std::string error;
    ASSERT_TRUE(hwsim_load(scenario, error)) << error;
    ASSERT_EQ(io_iopl(3), 0);
    hwsim_take_trace();
}
