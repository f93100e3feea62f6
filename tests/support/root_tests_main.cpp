// main() of the test programs all of whose cases run a tool as root (the
// port register tools refuse everybody else): where the tests do not run as
// root, every case is skipped, with the reason.
#include "run_program.h"

#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    std::string why = host_lacks("root");
    if (!why.empty()) {
        // ctest tells a skipped case by this mark.
        printf("[  SKIPPED ] %s", why.c_str());
        return 0;
    }
    return RUN_ALL_TESTS();
}
