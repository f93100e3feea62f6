// The i386 libraries as a 32-bit VM would load them, through an i386 harness
// with a minimal JNI environment; on a host whose kernel runs no i386
// programs, through QEMU's user-mode emulator.
#include "run_program.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace {

run_result harness(std::vector<std::string> args, const std::string &scenario = "")
{
    run_request r;
    r.program = JNI_HARNESS_I386;
    r.args = std::move(args);
    r.scenario = scenario;
    if (*I386_EMULATOR) {
        // -L /: the emulated loader finds the host's multilib libraries.
        r.args.insert(r.args.begin(), {"-L", "/", r.program});
        r.program = I386_EMULATOR;
        // LeakSanitizer cannot stop an emulated process; the other checks run.
        const char *asan = getenv("ASAN_OPTIONS");
        r.env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":detect_leaks=0");
    }
    return run_program(r);
}

TEST(HostexecI386, RunsCommandsAndGivesEveryStringBack)
{
    char tmpl[] = "/tmp/hwkit-i386-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string out = std::string(tmpl) + "/out";
    run_result r = harness({"hostexec", HOSTEXEC_I386, "echo one > " + out, "-null", "echo two >> " + out, ""});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "GetStringUTFChars 3, ReleaseStringUTFChars 3, mismatched 0\n")
        << "the null string reached no string function";
    std::ifstream f(out);
    std::stringstream s;
    s << f.rdbuf();
    EXPECT_EQ(s.str(), "one\ntwo\n");
    unlink(out.c_str());
    rmdir(tmpl);
}

TEST(HostexecI386, NoCommandRunsWhenTheStringCannotBeHad)
{
    run_result r = harness({"hostexec", HOSTEXEC_I386, "-oom"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "GetStringUTFChars 1, ReleaseStringUTFChars 0, mismatched 0\n");
}

TEST(LampioI386, TheParallelPortVariantOnTheSimulatedAppliance)
{
    run_result r = harness({"lampio", LAMPIO_378_I386, LAMPIO_EXPORT, "8", "1", "16", "1", "8", "-1", "4", "7"},
                           "latch 378 81");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.trace, "iopl 3 -> ok\ninb 0x0378 -> 0x81\noutb 0x0378 0x89\n"
                       "iopl 3 -> ok\ninb 0x0378 -> 0x89\noutb 0x0378 0x99\n"
                       "iopl 3 -> ok\ninb 0x0378 -> 0x99\noutb 0x0378 0x91\n"
                       "iopl 3 -> ok\ninb 0x0378 -> 0x91\n");
    EXPECT_EQ(r.state, "latch 0x0378 0x91\n");
}

} // namespace
