// The command library, loaded by a real JVM through com.util.HostExec,
// running real shell command lines.
#include "run_program.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace {

class HostExecJvm : public testing::Test {
protected:
    std::string dir;

    void SetUp() override
    {
        char tmpl[] = "/tmp/hwkit-hostexec-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    run_result java(std::vector<std::string> calls, std::vector<std::string> env = {}, std::string input = "")
    {
        run_request r;
        r.program = JAVA;
        r.args = {"-Xcheck:jni", std::string("-Djava.library.path=") + HOSTEXEC_TEST_BUILD, "-cp", JAVA_CLASSES,
                  "HostExecCalls"};
        r.args.insert(r.args.end(), calls.begin(), calls.end());
        r.cwd = dir;
        r.env = std::move(env);
        r.input = std::move(input);
        return run_program(r);
    }

    std::string file(const std::string &name)
    {
        std::ifstream f(dir + "/" + name, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
};

TEST_F(HostExecJvm, TheShellInterpretsTheWholeLine)
{
    run_result r = java({"echo hello | tr a-z A-Z > pipe.out",
                         "A=4; B=5; echo $((A * B)) > seq.out; echo $(echo sub) >> seq.out",
                         "echo to-stderr 1>&2; echo kept 2>/dev/null > redir.out"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "returned fast\nreturned fast\nreturned fast\n");
    EXPECT_EQ(r.err, "to-stderr\n") << "the command shares the JVM's standard error";
    EXPECT_EQ(file("pipe.out"), "HELLO\n");
    EXPECT_EQ(file("seq.out"), "20\nsub\n");
    EXPECT_EQ(file("redir.out"), "kept\n");
}

TEST_F(HostExecJvm, ReturnsWhenTheShellEndsNotTheBackgroundJob)
{
    run_result r = java({"(sleep 3; echo late > bg.out) >/dev/null 2>&1 &", "check:bg.out", "wait:bg.out"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "returned fast\ncheck:bg.out absent\nwait:bg.out appeared\n");
}

TEST_F(HostExecJvm, InheritsWorkingFolderAndEnvironment)
{
    run_result r = java({"pwd > cwd.out; printf '%s' \"$HWKIT_PROBE\" > env.out"}, {"HWKIT_PROBE=probe value"});
    EXPECT_EQ(r.status, 0);
    char real[4096];
    ASSERT_NE(realpath(dir.c_str(), real), nullptr);
    EXPECT_EQ(file("cwd.out"), std::string(real) + "\n");
    EXPECT_EQ(file("env.out"), "probe value");
}

TEST_F(HostExecJvm, SharesTheJvmsStandardInputAndOutput)
{
    run_result r = java({"read line; echo \"got $line\"", "cat > rest.out"}, {}, "first line\nsecond line\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "got first line\nreturned fast\nreturned fast\n");
    EXPECT_EQ(file("rest.out"), "second line\n");
}

TEST_F(HostExecJvm, TextArrivesAsModifiedUtf8)
{
    // e-acute, U+0000 and U+1F600 (a surrogate pair in Java)
    run_result r = java({"printf '%s' '\\u00e9\\u0000\\ud83d\\ude00x' > bytes.out"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(file("bytes.out"), "\xC3\xA9\xC0\x80\xED\xA0\xBD\xED\xB8\x80x");
}

TEST_F(HostExecJvm, EmptyFailingAndNullCommandsReturnQuietly)
{
    run_result r = java({"", "exit 3", "no-such-command-here 2>/dev/null", "null", "echo after > after.out"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "returned fast\nreturned fast\nreturned fast\nreturned fast\nreturned fast\n");
    EXPECT_EQ(file("after.out"), "after\n");
}

} // namespace
