// regpoke as a whole program on simulated appliances: its messages and
// questions, how it exits, and the exact port traffic of its writes.
#include "run_program.h"
#include "tool_texts.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string &USAGE = REGPOKE_USAGE;

run_result poke(std::vector<std::string> args, const std::string &scenario = "", const std::string &input = "")
{
    run_request r;
    r.program = TOOL_SIM;
    r.args = std::move(args);
    r.scenario = scenario;
    r.input = input;
    return run_program(r);
}

run_result poke_as_nobody(const char *program, std::vector<std::string> args, const std::string &input = "")
{
    run_request r;
    r.program = program;
    r.args = std::move(args);
    r.input = input;
    return run_program(as_nobody(r));
}

// ---- Usage and options ---------------------------------------------------------

TEST(RegpokeUsage, AnyOtherCountOfPositionalArgumentsPrintsTheUsageAlone)
{
    for (auto args : {std::vector<std::string>{}, {"0x2e", "0x2f", "0x07"}, {"0x2e", "0x2f", "0x07", "1", "2", "3"},
                      {"-f"}, {"-f", "0x80"}, {"-f", "0x80", "1", "2", "3"}, {"-y", "-W", "0x80", "1"},
                      {"zz", "zz", "zz"}}) {
        run_result r = poke(args, "", "y\n");
        EXPECT_EQ(r.err, USAGE) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, "");
    }
}

TEST(RegpokeUsage, UnsupportedFlagsAreNamedBeforeTheUsage)
{
    const struct {
        std::vector<std::string> args;
        const char *flag;
    } cases[] = {
        {{"-k", "0x87", "0x2e", "0x2f", "0x07", "1"}, "-k"},
        {{"-x", "-f", "0x80", "1"}, "-x"},
        {{"-f", "-w", "0x80", "1"}, "-w"},
        {{"-y", "--", "0x80", "1"}, "--"},
    };
    for (const auto &c : cases) {
        run_result r = poke(c.args);
        EXPECT_EQ(r.err, std::string("Warning: Unsupported flag \"") + c.flag + "\"!\n" + USAGE);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, "");
    }
}

TEST(RegpokeUsage, OnlyTheLetterAfterTheDashCountsAndScanningStopsAtThePositionals)
{
    // -fy is -f alone: the question is asked.
    run_result r = poke({"-fy", "0x80", "0x12"}, "latch 80 00");
    EXPECT_EQ(r.err, WARNING + "I will write value 0x12 to address 0x80.\n" + QUESTION + ABORTED);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.trace, "");
    // -y after the first positional argument is one of them.
    r = poke({"-f", "0x80", "0x12", "-y"}, "latch 80 00");
    EXPECT_EQ(r.err, "Error: Invalid mask!\n" + USAGE);
}

// ---- Argument tests, in their order --------------------------------------------

struct argument_case {
    std::vector<std::string> args;
    std::string message;
};

void PrintTo(const argument_case &c, std::ostream *os) { *os << testing::PrintToString(c.args); }

class RegpokeArguments : public testing::TestWithParam<argument_case> {};

TEST_P(RegpokeArguments, MessageThenUsageAndNoPortTouched)
{
    run_result r = poke(GetParam().args, "latch 80 00", "y\ny\n");
    EXPECT_EQ(r.err, GetParam().message + USAGE);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.trace, "");
}

const std::string INVALID_ADDRESS = "Error: Invalid address!\n";
const std::string PAIR_ADDRESS_RANGE = "Error: Address out of range (0x0000-0x3fff)!\n";
const std::string FLAT_ADDRESS_RANGE = "Error: Address out of range (0x0000-0xffff)!\n";
const std::string INDEX_RANGE = "Error: Address out of range (0x00-0xff)!\n";
const std::string INVALID_DATA = "Error: Invalid data register!\n";
const std::string DATA_RANGE = "Error: Data register out of range (0x0000-0x3fff)!\n";
const std::string INVALID_VALUE = "Error: Invalid value!\n";
const std::string INVALID_MASK = "Error: Invalid mask!\n";
const std::string BYTE_VALUE_RANGE = "Error: Value out of range (0x00-0xff)!\n";
const std::string WORD_VALUE_RANGE = "Error: Value out of range (0x0000-0xffff)!\n";
const std::string LONG_VALUE_RANGE = "Error: Value out of range (0x00000000-0xffffffff)!\n";
const std::string BYTE_MASK_RANGE = "Error: Mask out of range (0x00-0xff)!\n";
const std::string WORD_MASK_RANGE = "Error: Mask out of range (0x0000-0xffff)!\n";
const std::string LONG_MASK_RANGE = "Error: Mask out of range (0x00000000-0xffffffff)!\n";

INSTANTIATE_TEST_SUITE_P(
    PairMode, RegpokeArguments,
    testing::Values(
        argument_case{{"zz", "0x2f", "0x07", "1"}, INVALID_ADDRESS},
        argument_case{{"", "0x2f", "0x07", "1"}, INVALID_ADDRESS},
        argument_case{{"0x4000", "0x2f", "0x07", "1"}, PAIR_ADDRESS_RANGE},
        argument_case{{" -1", "0x2f", "0x07", "1"}, PAIR_ADDRESS_RANGE},
        argument_case{{"0x10000002e", "0x2f", "0x07", "1"}, PAIR_ADDRESS_RANGE},
        argument_case{{"0x2e", "0x2f!", "0x07", "1"}, INVALID_DATA},
        argument_case{{"0x2e", "0x4000", "0x07", "1"}, DATA_RANGE},
        argument_case{{"0x2e", "-1", "0x07", "1"}, DATA_RANGE},
        argument_case{{"0x2e", "0x2f", "seven", "1"}, INVALID_ADDRESS},
        argument_case{{"0x2e", "0x2f", "0x100", "1"}, INDEX_RANGE},
        argument_case{{"0x2e", "0x2f", "-1", "1"}, INDEX_RANGE},
        argument_case{{"0x2e", "0x2f", "0x07", "0x1g"}, INVALID_VALUE},
        argument_case{{"0x2e", "0x2f", "0x07", ""}, INVALID_VALUE},
        argument_case{{"0x2e", "0x2f", "0x07", "0x100"}, BYTE_VALUE_RANGE},
        argument_case{{"0x2e", "0x2f", "0x07", "-1"}, BYTE_VALUE_RANGE},
        argument_case{{"0x2e", "0x2f", "0x07", "1", "m"}, INVALID_MASK},
        argument_case{{"0x2e", "0x2f", "0x07", "1", "0x100"}, BYTE_MASK_RANGE},
        argument_case{{"-W", "0x2e", "0x2f", "0x07", "0x10000"}, WORD_VALUE_RANGE},
        argument_case{{"-L", "0x2e", "0x2f", "0x07", "1", "0x100000000"}, LONG_MASK_RANGE},
        // the first failing test in the order speaks
        argument_case{{"zz", "zz", "zz", "zz", "zz"}, INVALID_ADDRESS},
        argument_case{{"0x4000", "zz", "zz", "zz", "zz"}, PAIR_ADDRESS_RANGE},
        argument_case{{"0x2e", "zz", "zz", "zz", "zz"}, INVALID_DATA},
        argument_case{{"0x2e", "0x4000", "zz", "zz", "zz"}, DATA_RANGE},
        argument_case{{"0x2e", "0x2f", "zz", "zz", "zz"}, INVALID_ADDRESS},
        argument_case{{"0x2e", "0x2f", "0x100", "zz", "zz"}, INDEX_RANGE},
        argument_case{{"0x2e", "0x2f", "0x07", "zz", "zz"}, INVALID_VALUE},
        argument_case{{"0x2e", "0x2f", "0x07", "0x100", "zz"}, BYTE_VALUE_RANGE}));

INSTANTIATE_TEST_SUITE_P(
    FlatMode, RegpokeArguments,
    testing::Values(
        argument_case{{"-f", "zz", "1"}, INVALID_ADDRESS},
        argument_case{{"-f", "0x10000", "1"}, FLAT_ADDRESS_RANGE},
        argument_case{{"-f", " -1", "1"}, FLAT_ADDRESS_RANGE},
        argument_case{{"-f", "0x80", "zz"}, INVALID_VALUE},
        argument_case{{"-f", "0x80", "0x100"}, BYTE_VALUE_RANGE},
        argument_case{{"-f", "0x80", "256"}, BYTE_VALUE_RANGE},
        argument_case{{"-f", "0x80", "-1"}, BYTE_VALUE_RANGE},
        argument_case{{"-f", "0x80", "99999999999999999999"}, BYTE_VALUE_RANGE},
        // Negative numbers that the C library's conversion would wrap into range.
        argument_case{{"-f", "0x80", "-18446744073709551615"}, BYTE_VALUE_RANGE},
        argument_case{{"-f", "0x80", " -0xffffffffffffff01"}, BYTE_VALUE_RANGE},
        argument_case{{"-f", "-L", "0x80", "1", "-18446744069414584321"}, LONG_MASK_RANGE},
        argument_case{{"-f", "-W", "0x80", "0x10000"}, WORD_VALUE_RANGE},
        argument_case{{"-f", "-W", "0x80", "-1"}, WORD_VALUE_RANGE},
        argument_case{{"-f", "-L", "0x80", "0x100000000"}, LONG_VALUE_RANGE},
        argument_case{{"-f", "-L", "0x80", "-1"}, LONG_VALUE_RANGE},
        argument_case{{"-f", "0x80", "1", "0x"}, INVALID_MASK},
        argument_case{{"-f", "0x80", "1", "0x100"}, BYTE_MASK_RANGE},
        argument_case{{"-f", "-W", "0x80", "1", "0x10000"}, WORD_MASK_RANGE},
        argument_case{{"-f", "-L", "0x80", "1", "-1"}, LONG_MASK_RANGE},
        argument_case{{"-W", "-f", "-L", "0x80", "1", "0x1ffffffff"}, LONG_MASK_RANGE},
        argument_case{{"-L", "-f", "-W", "0x80", "0x10000", "1"}, WORD_VALUE_RANGE}));

// ---- Root and the first question ---------------------------------------------------

TEST(RegpokeRoot, ANonRootUserIsRefusedBeforeAnyWarning)
{
    for (const char *program : {TOOL_SIM, TOOL_REAL})
        for (auto args : {std::vector<std::string>{"-f", "0x80", "0x12"}, {"-y", "0x2e", "0x2f", "0x07", "0x0b"},
                          {"-f", "-y", "0x80", "0x12", "0x0f"}}) {
            run_result r = poke_as_nobody(program, args, "y\ny\n");
            EXPECT_EQ(r.err, NOT_ROOT) << program << " " << testing::PrintToString(args);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.trace, "");
        }
    run_result r = poke_as_nobody(TOOL_SIM, {"-f", "0x80", "0x100"});
    EXPECT_EQ(r.err, BYTE_VALUE_RANGE + USAGE) << "argument errors come first";
}

TEST(RegpokeQuestion, TheQuestionNamesTheWriteAndADeclineTouchesNoPort)
{
    const struct {
        std::vector<std::string> args;
        const char *said;
    } cases[] = {
        {{"-f", "0x80", "0x12"}, "I will write value 0x12 to address 0x80.\n"},
        {{"-f", "-W", "0x2e0", "0x100"}, "I will write value 0x0100 to address 0x2e0.\n"},
        {{"-f", "-L", "65535", "1", "0xff"}, "I will write value 0x00000001 (masked) to address 0xffff.\n"},
        {{"0x2e", "0x2f", "0x07", "0x0b"},
         "I will write value 0x0b to address 0x07 of chip with address register 0x2e\nand data register 0x2f.\n"},
        {{"-W", "0x295", "0x296", "0xa0", "0x1234", "0xff00"},
         "I will write value 0x1234 (masked) to address 0xa0 of chip with address register 0x295\n"
         "and data register 0x296.\n"},
        {{"0x2e", "0x2f", "0x07", "0x0b", "0"},
         "I will write value 0x0b to address 0x07 of chip with address register 0x2e\nand data register 0x2f.\n"},
    };
    for (const auto &c : cases)
        for (const char *input : {"", "n\n", "No\n", "y"}) {
            run_result r = poke(c.args, "latch 80 00", input);
            EXPECT_EQ(r.err, WARNING + c.said + QUESTION + ABORTED) << testing::PrintToString(c.args);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.trace, "");
        }
}

// ---- Writes ----------------------------------------------------------------------

TEST(RegpokeWrite, FlatWriteAfterTheQuestionOrWithoutItUnderY)
{
    for (auto [args, input, err] :
         {std::tuple<std::vector<std::string>, std::string, std::string>{
              {"-f", "0x80", "0x12"}, "y\n", WARNING + "I will write value 0x12 to address 0x80.\n" + QUESTION},
          {{"-f", "0x80", "0x12"}, "\n", WARNING + "I will write value 0x12 to address 0x80.\n" + QUESTION},
          {{"-y", "-f", "0x80", "0x12"}, "", ""},
          {{"-f", "-y", "0x80", "022"}, "", ""},
          {{"-fy", "-y", "0x80", "18"}, "", ""}}) {
        run_result r = poke(args, "latch 80 00", input);
        EXPECT_EQ(r.err, err) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.trace, "iopl 3 -> ok\noutb 0x0080 0x12\ninb 0x0080 -> 0x12\n");
        EXPECT_EQ(r.state, "latch 0x0080 0x12\n");
    }
    // Minus zero is zero, not out of range.
    run_result r = poke({"-y", "-f", "0x80", "-0"}, "latch 80 a5");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.trace, "iopl 3 -> ok\noutb 0x0080 0x00\ninb 0x0080 -> 0x00\n");
}

TEST(RegpokeWrite, PairWriteSendsTheIndexOnceThenTheValue)
{
    run_result r = poke({"0x2e", "0x2f", "0x07", "0x0b"}, "indexed 2e 2f", "y\n");
    EXPECT_EQ(r.err, WARNING +
                         "I will write value 0x0b to address 0x07 of chip with address register 0x2e\n"
                         "and data register 0x2f.\n" +
                         QUESTION);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.trace, "ioperm 0x002f 1 1 -> ok\nioperm 0x002e 1 1 -> ok\n"
                       "outb 0x002e 0x07\noutb 0x002f 0x0b\ninb 0x002f -> 0x0b\n");
    EXPECT_NE(r.state.find("reg 0:0x07 0x0b"), std::string::npos) << r.state;
}

TEST(RegpokeWrite, EachWidthInBothModes)
{
    const struct {
        std::vector<std::string> args;
        const char *scenario;
        const char *trace;
    } cases[] = {
        {{"-y", "-f", "-W", "0x80", "0x100"}, "latch 80-81 00",
         "iopl 3 -> ok\noutw 0x0080 0x0100\ninw 0x0080 -> 0x0100\n"},
        {{"-y", "-f", "-L", "0x80", "0xdeadbeef"}, "latch 80-83 00",
         "iopl 3 -> ok\noutl 0x0080 0xdeadbeef\ninl 0x0080 -> 0xdeadbeef\n"},
        {{"-y", "-W", "0x2e", "0x2f", "0x10", "0xbeef"}, "indexed 2e 2f wide",
         "ioperm 0x002f 2 1 -> ok\nioperm 0x002e 1 1 -> ok\n"
         "outb 0x002e 0x10\noutw 0x002f 0xbeef\ninw 0x002f -> 0xbeef\n"},
        {{"-y", "-L", "0x2e", "0x2f", "0xfc", "0x12345678"}, "indexed 2e 2f wide",
         "ioperm 0x002f 4 1 -> ok\nioperm 0x002e 1 1 -> ok\n"
         "outb 0x002e 0xfc\noutl 0x002f 0x12345678\ninl 0x002f -> 0x12345678\n"},
        // a data register whose word reaches port 0x400 cannot be opened with ioperm
        {{"-y", "-W", "0x3fe", "0x3ff", "0x10", "0xbeef"}, "indexed 3fe 3ff wide",
         "iopl 3 -> ok\noutb 0x03fe 0x10\noutw 0x03ff 0xbeef\ninw 0x03ff -> 0xbeef\n"},
        {{"-y", "0x2e", "0x400", "0x10", "0x5a"}, "indexed 2e 400",
         "iopl 3 -> ok\noutb 0x002e 0x10\noutb 0x0400 0x5a\ninb 0x0400 -> 0x5a\n"},
        {{"-y", "0x400", "0x2f", "0x10", "0x5a"}, "indexed 400 2f",
         "iopl 3 -> ok\noutb 0x0400 0x10\noutb 0x002f 0x5a\ninb 0x002f -> 0x5a\n"},
    };
    for (const auto &c : cases) {
        run_result r = poke(c.args, c.scenario);
        EXPECT_EQ(r.err, "") << testing::PrintToString(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.trace, c.trace);
    }
}

TEST(RegpokeWrite, AReadBackThatDiffersIsReportedButNoError)
{
    const struct {
        std::vector<std::string> args;
        const char *scenario;
        const char *err;
    } cases[] = {
        {{"-y", "-f", "0x80", "0x12"}, "input 80 5a", "Data mismatch, wrote 0x12, read 0x5a back.\n"},
        {{"-y", "-f", "-W", "0x80", "0x1234"}, "input 80 5a\nlatch 81 00",
         "Data mismatch, wrote 0x1234, read 0x125a back.\n"},
        {{"-y", "-f", "-L", "0x80", "1"}, "", "Data mismatch, wrote 0x00000001, read 0xffffffff back.\n"},
        {{"-y", "0x2e", "0x2f", "0x07", "0x0b"}, "input 2f 00", "Data mismatch, wrote 0x0b, read 0x00 back.\n"},
    };
    for (const auto &c : cases) {
        run_result r = poke(c.args, c.scenario);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
    }
}

TEST(RegpokeWrite, RefusedAccessEndsTheRunWithoutTheUsage)
{
    const struct {
        const char *scenario;
        std::vector<std::string> args;
        const char *err;
        const char *trace;
    } cases[] = {
        {"iopl deny", {"-y", "-f", "0x80", "1"}, "Error: Could not do iopl(3)!\n", "iopl 3 -> EPERM\n"},
        {"iopl deny", {"-y", "0x2e", "0x400", "0x07", "1"}, "Error: Could not do iopl(3)!\n", "iopl 3 -> EPERM\n"},
        {"ioperm deny 2f", {"-y", "0x2e", "0x2f", "0x07", "1"}, "Error: Could not ioperm() data register!\n",
         "ioperm 0x002f 1 1 -> EPERM\n"},
        {"ioperm deny 2e", {"-y", "0x2e", "0x2f", "0x07", "1", "0xff"},
         "Error: Could not ioperm() address register!\n", "ioperm 0x002f 1 1 -> ok\nioperm 0x002e 1 1 -> EPERM\n"},
        {"ioperm deny 31", {"-y", "-W", "0x2e", "0x30", "0x07", "1"}, "Error: Could not ioperm() data register!\n",
         "ioperm 0x0030 2 1 -> EPERM\n"},
    };
    for (const auto &c : cases) {
        run_result r = poke(c.args, c.scenario);
        EXPECT_EQ(r.err, c.err) << c.scenario;
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, c.trace);
    }
}

// ---- Masked writes -----------------------------------------------------------------

const char *const CHIP_A5 = "indexed 295 296\nreg 40 a5\n";

TEST(RegpokeMask, ReadModifyWriteWithBothQuestions)
{
    run_result r = poke({"0x295", "0x296", "0x40", "0x0F", "0x3C"}, CHIP_A5, "y\ny\n");
    EXPECT_EQ(r.err, WARNING +
                         "I will write value 0x0f (masked) to address 0x40 of chip with address register 0x295\n"
                         "and data register 0x296.\n" +
                         QUESTION + "Old value 0xa5, write mask 0x3c: Will write 0x8d to register 0x40\n" +
                         QUESTION);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.trace, "ioperm 0x0296 1 1 -> ok\nioperm 0x0295 1 1 -> ok\n"
                       "outb 0x0295 0x40\ninb 0x0296 -> 0xa5\n"
                       "outb 0x0295 0x40\noutb 0x0296 0x8d\ninb 0x0296 -> 0x8d\n");
    EXPECT_NE(r.state.find("reg 0:0x40 0x8d"), std::string::npos) << r.state;

    r = poke({"-f", "0x80", "0x0f", "0x3c"}, "latch 80 a5", "\n\n");
    EXPECT_EQ(r.err, WARNING + "I will write value 0x0f (masked) to address 0x80.\n" + QUESTION +
                         "Old value 0xa5, write mask 0x3c: Will write 0x8d to address 0x80\n" + QUESTION);
    EXPECT_EQ(r.trace, "iopl 3 -> ok\ninb 0x0080 -> 0xa5\noutb 0x0080 0x8d\ninb 0x0080 -> 0x8d\n");
}

TEST(RegpokeMask, UnderYTheMaskedWriteSaysNothing)
{
    run_result r = poke({"-y", "0x295", "0x296", "0x40", "0x0f", "0x3c"}, CHIP_A5);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.trace, "ioperm 0x0296 1 1 -> ok\nioperm 0x0295 1 1 -> ok\n"
                       "outb 0x0295 0x40\ninb 0x0296 -> 0xa5\n"
                       "outb 0x0295 0x40\noutb 0x0296 0x8d\ninb 0x0296 -> 0x8d\n");
}

TEST(RegpokePortLock, ReleasedWhileTheOperatorAnswersTheSecondQuestion)
{
    const std::string access = "ioperm 0x0296 1 1 -> ok\nioperm 0x0295 1 1 -> ok\n";
    const std::string read = "outb 0x0295 0x40\ninb 0x0296 -> 0xa5\n";
    const std::string write = "outb 0x0295 0x40\noutb 0x0296 0x8d\ninb 0x0296 -> 0x8d\n";
    run_result r = poke({"0x295", "0x296", "0x40", "0x0F", "0x3C"}, CHIP_A5, "y\ny\n");
    EXPECT_EQ(r.full_trace, access + "lock\n" + read + "unlock\nlock\n" + write + "unlock\n");
    r = poke({"-y", "0x295", "0x296", "0x40", "0x0F", "0x3C"}, CHIP_A5);
    EXPECT_EQ(r.full_trace, access + "lock\n" + read + write + "unlock\n") << "no question, one sequence";
}

TEST(RegpokePortLock, AHeldLockStopsTheToolBeforeAnyPort)
{
    std::string lock = scratch_lock("regpoke");
    int holder = hold_file_lock(lock);
    ASSERT_GE(holder, 0);
    run_request req;
    req.program = TOOL_SIM;
    req.args = {"-y", "0x295", "0x296", "0x40", "0x0F", "0x3C"};
    req.scenario = CHIP_A5;
    req.env = {"HWSIM_LOCK=" + lock};
    run_result r = run_program(req);
    close(holder);
    unlink(lock.c_str());
    EXPECT_EQ(r.err, lock_held_error(lock));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.trace, "ioperm 0x0296 1 1 -> ok\nioperm 0x0295 1 1 -> ok\n");
    EXPECT_NE(r.state.find("reg 0:0x40 0xa5"), std::string::npos) << r.state;
}

TEST(RegpokeMask, DecliningTheSecondQuestionLeavesTheRegisterUnwritten)
{
    for (const char *input : {"y\nn\n", "y\n", "\nno\n", "y\ny"}) {
        run_result r = poke({"0x295", "0x296", "0x40", "0x0f", "0x3c"}, CHIP_A5, input);
        EXPECT_EQ(r.err.substr(r.err.find("Old value")),
                  "Old value 0xa5, write mask 0x3c: Will write 0x8d to register 0x40\n" + QUESTION + ABORTED)
            << input;
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.trace, "ioperm 0x0296 1 1 -> ok\nioperm 0x0295 1 1 -> ok\n"
                           "outb 0x0295 0x40\ninb 0x0296 -> 0xa5\n")
            << "the old value was read, nothing written";
        EXPECT_NE(r.state.find("reg 0:0x40 0xa5"), std::string::npos);
    }
}

TEST(RegpokeMask, AMaskOfZeroIsNoMask)
{
    for (const char *mask : {"0", "0x0", "00"}) {
        run_result r = poke({"0x295", "0x296", "0x40", "0x0f", mask}, CHIP_A5, "y\n");
        EXPECT_EQ(r.err, WARNING +
                             "I will write value 0x0f to address 0x40 of chip with address register 0x295\n"
                             "and data register 0x296.\n" +
                             QUESTION);
        EXPECT_EQ(r.trace, "ioperm 0x0296 1 1 -> ok\nioperm 0x0295 1 1 -> ok\n"
                           "outb 0x0295 0x40\noutb 0x0296 0x0f\ninb 0x0296 -> 0x0f\n");
    }
}

TEST(RegpokeMask, AFullMaskStillReadsAndAsksThenWritesTheValue)
{
    run_result r = poke({"0x295", "0x296", "0x40", "0x0f", "0xff"}, CHIP_A5, "y\ny\n");
    EXPECT_EQ(r.err.substr(r.err.find("Old value")),
              "Old value 0xa5, write mask 0xff: Will write 0x0f to register 0x40\n" + QUESTION);
    EXPECT_EQ(r.trace, "ioperm 0x0296 1 1 -> ok\nioperm 0x0295 1 1 -> ok\n"
                       "outb 0x0295 0x40\ninb 0x0296 -> 0xa5\n"
                       "outb 0x0295 0x40\noutb 0x0296 0x0f\ninb 0x0296 -> 0x0f\n");
}

TEST(RegpokeMask, WordAndLongMasks)
{
    run_result r = poke({"-W", "-f", "0x80", "0x1234", "0xff00"}, "latch 80 cd\nlatch 81 ab", "y\ny\n");
    EXPECT_EQ(r.err.substr(r.err.find("Old value")),
              "Old value 0xabcd, write mask 0xff00: Will write 0x12cd to address 0x80\n" + QUESTION);
    EXPECT_EQ(r.trace, "iopl 3 -> ok\ninw 0x0080 -> 0xabcd\noutw 0x0080 0x12cd\ninw 0x0080 -> 0x12cd\n");

    r = poke({"-y", "-L", "0x2e", "0x2f", "0x10", "0x11223344", "0xf0f0f0f0"},
             "indexed 2e 2f wide\nreg 10 88\nreg 11 77\nreg 12 66\nreg 13 55");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.trace, "ioperm 0x002f 4 1 -> ok\nioperm 0x002e 1 1 -> ok\n"
                       "outb 0x002e 0x10\ninl 0x002f -> 0x55667788\n"
                       "outb 0x002e 0x10\noutl 0x002f 0x15263748\ninl 0x002f -> 0x15263748\n");
}

} // namespace
