// regpeek as a whole program on simulated appliances: what it prints, how it
// exits, and the exact port traffic of its dumps.
#include "run_program.h"
#include "tool_texts.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string &USAGE = REGPEEK_USAGE;

const std::string HEADER_BYTE_PAIR = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
const std::string HEADER_BYTE_FLAT = "       0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
const std::string HEADER_WORD_PAIR = "       0    2    4    6    8    a    c    e\n";
const std::string HEADER_WORD_FLAT = "         0    2    4    6    8    a    c    e\n";
const std::string HEADER_LONG_PAIR = "           0        4        8        c\n";
const std::string HEADER_LONG_FLAT = "             0        4        8        c\n";

run_result peek(std::vector<std::string> args, const std::string &scenario = "", const std::string &input = "")
{
    run_request r;
    r.program = TOOL_SIM;
    r.args = std::move(args);
    r.scenario = scenario;
    r.input = input;
    return run_program(r);
}

run_result peek_as_nobody(const char *program, std::vector<std::string> args, const std::string &input = "")
{
    run_request r;
    r.program = program;
    r.args = std::move(args);
    r.input = input;
    return run_program(as_nobody(r));
}

std::string repeat(const std::string &s, int n)
{
    std::string r;
    while (n-- > 0)
        r += s;
    return r;
}

// Line n (from 0) with its line end, or "" past the last one.
std::string line(const std::string &text, int n)
{
    std::istringstream in(text);
    std::string l;
    for (int i = 0; std::getline(in, l); i++)
        if (i == n)
            return l + "\n";
    return "";
}

int count_lines(const std::string &text) { return (int)std::count(text.begin(), text.end(), '\n'); }

std::string hex(unsigned v, int digits)
{
    char b[16];
    snprintf(b, sizeof b, "0x%0*x", digits, v);
    return b;
}

// ---- Usage and the option scan -------------------------------------------------

TEST(RegpeekUsage, TooFewPositionalArgumentsPrintTheUsageAlone)
{
    for (auto args : {std::vector<std::string>{}, {"0x2e"}, {"-y", "-W", "0x2e"}, {"-f"}, {"-f", "-y", "-L"},
                      {"-k", "0x87,0x87", "0x2e"}}) {
        run_result r = peek(args);
        EXPECT_EQ(r.err, USAGE) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, "");
    }
}

TEST(RegpeekOptions, UnsupportedFlagsAreNamedBeforeTheUsage)
{
    const struct {
        std::vector<std::string> args;
        const char *flag;
    } cases[] = {
        {{"-x", "0x2e", "0x2f"}, "-x"},
        {{"-y", "-w", "0x2e", "0x2f"}, "-w"},   // letters are case-sensitive
        {{"-F", "0x290"}, "-F"},
        {{"--help"}, "--"},
        {{"-1", "0x2f"}, "-1"},                // a negative number where an option may stand
        {{"-f", "-q", "junk"}, "-q"},          // before any positional argument is looked at
    };
    for (const auto &c : cases) {
        run_result r = peek(c.args);
        EXPECT_EQ(r.err, std::string("Warning: Unsupported flag \"") + c.flag + "\"!\n" + USAGE);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, "");
    }
}

TEST(RegpeekOptions, OnlyTheLetterAfterTheDashCounts)
{
    // -fy is -f alone: the question is still asked (and declined by the end of input).
    run_result r = peek({"-fy", "0x290", "16"});
    EXPECT_EQ(r.err, WARNING + "I will probe address range 0x290 to 0x29f.\n" + QUESTION + ABORTED);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.trace, "");

    r = peek({"-Wxyz", "-yes", "0x295", "0x296"}, "indexed 295 296 wide addr-reads 80");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(line(r.out, 0), HEADER_WORD_PAIR);
    EXPECT_EQ(r.status, 0);
}

TEST(RegpeekOptions, TheLastWidthOptionWins)
{
    const char *chip = "indexed 295 296 wide addr-reads 80";
    EXPECT_EQ(line(peek({"-y", "-W", "-L", "0x295", "0x296"}, chip).out, 0), HEADER_LONG_PAIR);
    EXPECT_EQ(line(peek({"-L", "-y", "-W", "0x295", "0x296"}, chip).out, 0), HEADER_WORD_PAIR);
}

TEST(RegpeekOptions, ScanningStopsAtTheFirstPositionalArgument)
{
    run_result r = peek({"0x2e", "0x2f", "-y"});
    EXPECT_EQ(r.err, "Error: Invalid bank number!\n" + USAGE) << "-y was taken as BANK";
    EXPECT_EQ(r.status, 1);
}

TEST(RegpeekOptions, AMissingOrInvalidKeyStopsTheTool)
{
    for (auto args : {std::vector<std::string>{"-k"}, {"-y", "-k"}, {"-k", "0x87,", "0x2e", "0x2f"},
                      {"-k", "0x87,0x87,", "0x2e", "0x2f"}, {"-k", "", "0x2e", "0x2f"}, {"-k", "0x100", "0x2e", "0x2f"},
                      {"-k", "0x87;0x87", "0x2e", "0x2f"}, {"-k", "-f", "0x290"},
                      {"-k", "0x87", "-k", "0x1g", "0x2e", "0x2f"}, {"-f", "-k"}}) {
        run_result r = peek(args);
        EXPECT_EQ(r.err, "Invalid or missing key\n" + USAGE) << testing::PrintToString(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, "");
    }
}

TEST(RegpeekOptions, AKeyInFlatModeIsRefusedBeforeThePositionalArguments)
{
    for (auto args : {std::vector<std::string>{"-f", "-k", "0x87,0x87", "0x290"},
                      {"-k", "0x87,0x87", "-f", "0x290"}, {"-k", "0x87", "-f"}, {"-f", "-k", "0x87", "junk"},
                      {"-y", "-k", "0x87", "-fy", "0x10000", "8"}}) {
        run_result r = peek(args);
        EXPECT_EQ(r.err, "Error: Cannot use key in flat mode\n") << testing::PrintToString(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, "");
    }
}

TEST(RegpeekOptions, TheKeyTextIsTakenWhateverItBeginsWithAndALaterKeyReplacesAnEarlierOne)
{
    // 128 registers: indexes up to 0x7f, so 0xa5 goes out as the key alone.
    run_result r = peek({"-y", "-k", "-0", "-k", "0xa5", "0x295", "0x296"}, "indexed 295 296 addr-reads 80");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(trace_lines(r.trace, "outb 0x0295 0xa5").size(), 9 * std::string("outb 0x0295 0xa5\n").size())
        << "one key before the dump and one per row";
    EXPECT_EQ(trace_lines(r.trace, "outb 0x0295 0x00").size(), std::string("outb 0x0295 0x00\n").size())
        << "the first key (0x00) was replaced; only index 0 is written as 0x00";
}

// ---- Argument tests, in their order --------------------------------------------

struct argument_case {
    std::vector<std::string> args;
    std::string message;
};

void PrintTo(const argument_case &c, std::ostream *os) { *os << testing::PrintToString(c.args); }

class RegpeekArguments : public testing::TestWithParam<argument_case> {};

TEST_P(RegpeekArguments, MessageThenUsageAndNoPortTouched)
{
    run_result r = peek(GetParam().args, "superio 2e\n", "y\n");
    EXPECT_EQ(r.err, GetParam().message + USAGE);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.trace, "");
}

const std::string INVALID_ADDRESS = "Error: Invalid address!\n";
const std::string PAIR_ADDRESS_RANGE = "Error: Address out of range (0x0000-0x3fff)!\n";
const std::string FLAT_ADDRESS_RANGE = "Error: Address out of range (0x0000-0xffff)!\n";
const std::string INVALID_RANGE = "Error: Invalid range!\nHint: Must be a multiple of 16 no greater than 256.\n";
const std::string PAST_LAST_PORT = "Error: Range runs past the last port (0xffff)!\n";
const std::string INVALID_DATA = "Error: Invalid data register!\n";
const std::string DATA_RANGE = "Error: Data register out of range (0x0000-0x3fff)!\n";
const std::string INVALID_BANK = "Error: Invalid bank number!\n";
const std::string BANK_RANGE = "Error: bank out of range (0-31)!\n";
const std::string INVALID_BANKREG = "Error: Invalid bank register!\n";

INSTANTIATE_TEST_SUITE_P(
    PairMode, RegpeekArguments,
    testing::Values(
        argument_case{{"zz", "0x2f"}, INVALID_ADDRESS}, argument_case{{"0x2e!", "0x2f"}, INVALID_ADDRESS},
        argument_case{{"", "0x2f"}, INVALID_ADDRESS}, argument_case{{"0x", "0x2f"}, INVALID_ADDRESS},
        argument_case{{"0x4000", "0x2f"}, PAIR_ADDRESS_RANGE}, argument_case{{" -1", "0x2f"}, PAIR_ADDRESS_RANGE},
        argument_case{{"0x10000002e", "0x2f"}, PAIR_ADDRESS_RANGE},
        argument_case{{"99999999999999999999", "0x2f"}, PAIR_ADDRESS_RANGE},
        argument_case{{"0x2e", "zz"}, INVALID_DATA}, argument_case{{"0x2e", ""}, INVALID_DATA},
        argument_case{{"0x2e", "0x4000"}, DATA_RANGE}, argument_case{{"0x2e", "-1"}, DATA_RANGE},
        argument_case{{"0x2e", "0x2f", "x"}, INVALID_BANK}, argument_case{{"0x2e", "0x2f", "32"}, BANK_RANGE},
        argument_case{{"0x2e", "0x2f", "-1"}, BANK_RANGE},
        argument_case{{"0x2e", "0x2f", "1", "x"}, INVALID_BANKREG},
        argument_case{{"0x2e", "0x2f", "1", "256"}, "Error: bank out of range (0x00-0xff)!\n"},
        argument_case{{"0x2e", "0x2f", "1", "-1"}, "Error: bank out of range (0x00-0xff)!\n"},
        // the first failing test in the order speaks
        argument_case{{"zz", "zz", "zz", "zz"}, INVALID_ADDRESS},
        argument_case{{"0x4000", "zz", "zz", "zz"}, PAIR_ADDRESS_RANGE},
        argument_case{{"0x2e", "zz", "zz", "zz"}, INVALID_DATA},
        argument_case{{"0x2e", "0x4000", "zz", "zz"}, DATA_RANGE},
        argument_case{{"0x2e", "0x2f", "32", "zz"}, BANK_RANGE}));

INSTANTIATE_TEST_SUITE_P(
    FlatMode, RegpeekArguments,
    testing::Values(
        argument_case{{"-f", "zz"}, INVALID_ADDRESS}, argument_case{{"-f", ""}, INVALID_ADDRESS},
        argument_case{{"-f", "0x10000"}, FLAT_ADDRESS_RANGE}, argument_case{{"-f", " -1"}, FLAT_ADDRESS_RANGE},
        argument_case{{"-f", "0x290", "0"}, INVALID_RANGE}, argument_case{{"-f", "0x290", "8"}, INVALID_RANGE},
        argument_case{{"-f", "0x290", "24"}, INVALID_RANGE}, argument_case{{"-f", "0x290", "272"}, INVALID_RANGE},
        argument_case{{"-f", "0x290", "-16"}, INVALID_RANGE}, argument_case{{"-f", "0x290", "x"}, INVALID_RANGE},
        argument_case{{"-f", "0x290", ""}, INVALID_RANGE},
        argument_case{{"-f", "0xfff0", "32"}, PAST_LAST_PORT},
        argument_case{{"-f", "0xff01", "256"}, PAST_LAST_PORT},
        argument_case{{"-f", "0x290", "16", "x"}, INVALID_BANK},
        argument_case{{"-f", "0x290", "16", "32"}, BANK_RANGE},
        argument_case{{"-f", "0x290", "32", "1", "x"}, INVALID_BANKREG},
        argument_case{{"-f", "0x290", "32", "1", "32"}, "Error: bank out of range (0x00-0x1f)!\n"},
        argument_case{{"-f", "0x290", "1", "1", "256"}, INVALID_RANGE},
        // the flat default range of 256 bounds BANKREG by 0xff
        argument_case{{"-f", "0x290", "256", "1", "256"}, "Error: bank out of range (0x00-0xff)!\n"},
        // order: address, range, the last port, bank, bank register
        argument_case{{"-f", "0x10000", "0", "99", "x"}, FLAT_ADDRESS_RANGE},
        argument_case{{"-f", "0xfff0", "0", "99", "x"}, INVALID_RANGE},
        argument_case{{"-f", "0xfff0", "32", "99", "x"}, PAST_LAST_PORT},
        argument_case{{"-f", "0x290", "32", "99", "x"}, BANK_RANGE}));

TEST(RegpeekArgumentsAccepted, NumbersInCNotationAndTheBoundsThemselves)
{
    const struct {
        std::vector<std::string> args;
        std::string said;   // what the question says about them
    } cases[] = {
        {{"46", "057"}, "I will probe address register 0x2e and data register 0x2f.\n"},
        {{"0X2E", " 0x2f"}, "I will probe address register 0x2e and data register 0x2f.\n"},
        {{"0x3fff", "0x3fff", "31", "0xff"},
         "I will probe address register 0x3fff and data register 0x3fff.\n"
         "Probing bank 31 using bank register 0xff.\n"},
        {{"0", "0", "0", "0"},
         "I will probe address register 0x0 and data register 0x0.\nProbing bank 0 using bank register 0x00.\n"},
        {{"-f", "0xffff"}, "I will probe address range 0xff00 to 0xffff.\n"},
        {{"-f", "0xfff0", "16"}, "I will probe address range 0xfff0 to 0xffff.\n"},
        {{"-f", "0xff00", "256"}, "I will probe address range 0xff00 to 0xffff.\n"},
        {{"-f", "0x290", "32", "1", "31"},
         "I will probe address range 0x290 to 0x2af.\nProbing bank 1 using bank register 0x1f.\n"},
        {{"-f", "01220", "0x10"}, "I will probe address range 0x290 to 0x29f.\n"},
        // arguments after the fourth are ignored
        {{"0x2e", "0x2f", "1", "7", "junk", "more"},
         "I will probe address register 0x2e and data register 0x2f.\nProbing bank 1 using bank register 0x07.\n"},
        {{"-f", "0x290", "16", "1", "2", "junk"},
         "I will probe address range 0x290 to 0x29f.\nProbing bank 1 using bank register 0x02.\n"},
    };
    for (const auto &c : cases) {
        run_result r = peek(c.args);
        EXPECT_EQ(r.err, WARNING + c.said + QUESTION + ABORTED) << testing::PrintToString(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.trace, "");
    }
}

// ---- Root, question and port access ---------------------------------------------

TEST(RegpeekRoot, ANonRootUserIsRefusedBeforeAnyWarning)
{
    for (const char *program : {TOOL_SIM, TOOL_REAL})
        for (auto args : {std::vector<std::string>{"0x2e", "0x2f"}, {"-y", "0x2e", "0x2f", "9"},
                          {"-f", "-y", "0x290", "16"}, {"-k", "0x87,0x87", "0x2e", "0x2f"}}) {
            run_result r = peek_as_nobody(program, args, "y\n");
            EXPECT_EQ(r.err, NOT_ROOT) << program << " " << testing::PrintToString(args);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.trace, "");
        }
}

TEST(RegpeekRoot, ArgumentErrorsComeBeforeTheRootCheck)
{
    run_result r = peek_as_nobody(TOOL_SIM, {"0x4000", "0x2f"});
    EXPECT_EQ(r.err, PAIR_ADDRESS_RANGE + USAGE);
    EXPECT_EQ(r.status, 1);
    r = peek_as_nobody(TOOL_SIM, {"-f", "-k", "0x87", "0x290"});
    EXPECT_EQ(r.err, "Error: Cannot use key in flat mode\n");
}

TEST(RegpeekQuestion, DeclinedOrEndOfInputTouchesNoPort)
{
    const std::string asked = WARNING + "I will probe address register 0x2e and data register 0x2f.\n"
                                        "Probing bank 9 using bank register 0x07.\n" + QUESTION;
    for (const char *input : {"", "n\n", "N\n", "no\n", "nope, never\n", "y", "yes"}) {
        run_result r = peek({"-k", "0x87,0x87", "0x2e", "0x2f", "9"}, "superio 2e\n", input);
        EXPECT_EQ(r.err, asked + ABORTED) << '"' << input << '"';
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.trace, "");
    }
}

TEST(RegpeekQuestion, AnEmptyLineOrAYesGoesOn)
{
    for (const char *input : {"\n", "y\n", "Yes\n", "whatever\n"}) {
        run_result r = peek({"-f", "0x290", "16"}, "", input);
        EXPECT_EQ(r.err, WARNING + "I will probe address range 0x290 to 0x29f.\n" + QUESTION) << input;
        EXPECT_EQ(r.out, HEADER_BYTE_FLAT + "0290: " + repeat("ff ", 16) + "\n");
        EXPECT_EQ(r.status, 0);
    }
}

TEST(RegpeekQuestion, DefaultBankRegisterPerPair)
{
    const struct {
        std::vector<std::string> args;
        const char *bankreg;
    } cases[] = {
        {{"0x2e", "0x2f", "3"}, "0x07"},  {{"0x4e", "0x4f", "3"}, "0x07"},
        {{"0x295", "0x296", "3"}, "0x4e"}, {{"0x2e", "0x4f", "3"}, "0x4e"},
        {{"0x4e", "0x2f", "3"}, "0x4e"},   {{"0x2f", "0x2e", "3"}, "0x4e"},
        {{"-f", "0x290", "16", "3"}, "0x09"}, {{"-f", "0x2e", "256", "3"}, "0x09"},
    };
    for (const auto &c : cases) {
        run_result r = peek(c.args);
        EXPECT_EQ(line(r.err, 2), std::string("Probing bank 3 using bank register ") + c.bankreg + ".\n");
        EXPECT_EQ(r.trace, "");
    }
}

TEST(RegpeekPortAccess, IopermOpensExactlyTheTwoRegistersDataFirst)
{
    run_result r = peek({"-y", "0x3ff", "0x3fe"}, "indexed 3ff 3fe addr-reads 80");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(line(r.trace, 0) + line(r.trace, 1), "ioperm 0x03fe 1 1 -> ok\nioperm 0x03ff 1 1 -> ok\n");
    EXPECT_EQ(trace_lines(r.trace, "iopl"), "");
}

TEST(RegpeekPortAccess, WordAndLongAccessesOpenEveryPortTheyReach)
{
    run_result r = peek({"-y", "-W", "0x2e", "0x2f"}, "indexed 2e 2f wide addr-reads 80");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(line(r.trace, 0) + line(r.trace, 1), "ioperm 0x002f 2 1 -> ok\nioperm 0x002e 1 1 -> ok\n");
    r = peek({"-y", "-L", "0x2e", "0x2f"}, "indexed 2e 2f wide addr-reads 80");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(line(r.trace, 0) + line(r.trace, 1), "ioperm 0x002f 4 1 -> ok\nioperm 0x002e 1 1 -> ok\n");
    // A data register whose word would reach port 0x400 cannot be opened with ioperm.
    r = peek({"-y", "-W", "0x3fe", "0x3ff"}, "indexed 3fe 3ff wide addr-reads 80");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(line(r.trace, 0), "iopl 3 -> ok\n");
}

TEST(RegpeekPortAccess, FlatModeOrARegisterAbove3ffRaisesTheIoPrivilegeLevel)
{
    for (auto args : {std::vector<std::string>{"-y", "-f", "0x290", "16"}, {"-y", "-f", "0x0", "16"},
                      {"-y", "0x2e", "0x400"}, {"-y", "0x400", "0x2f"}}) {
        run_result r = peek(args, "indexed 2e 400 addr-reads 80\nindexed 400 2f addr-reads 80");
        EXPECT_EQ(r.status, 0) << testing::PrintToString(args);
        EXPECT_EQ(line(r.trace, 0), "iopl 3 -> ok\n");
        EXPECT_EQ(trace_lines(r.trace, "ioperm"), "");
    }
}

TEST(RegpeekPortAccess, RefusedAccessEndsTheRunWithoutTheUsage)
{
    const struct {
        const char *scenario;
        std::vector<std::string> args;
        const char *err;
        const char *trace;
    } cases[] = {
        {"iopl deny", {"-y", "-f", "0x290"}, "Error: Could not do iopl(3)!\n", "iopl 3 -> EPERM\n"},
        {"iopl deny ENOSYS", {"-y", "0x2e", "0x400"}, "Error: Could not do iopl(3)!\n", "iopl 3 -> ENOSYS\n"},
        {"ioperm deny", {"-y", "0x2e", "0x2f"}, "Error: Could not ioperm() data register!\n",
         "ioperm 0x002f 1 1 -> EPERM\n"},
        {"ioperm deny 2f", {"-y", "-k", "0x87,0x87", "0x2e", "0x2f", "9"},
         "Error: Could not ioperm() data register!\n", "ioperm 0x002f 1 1 -> EPERM\n"},
        {"ioperm deny 2e", {"-y", "-k", "0x87,0x87", "0x2e", "0x2f", "9"},
         "Error: Could not ioperm() address register!\n", "ioperm 0x002f 1 1 -> ok\nioperm 0x002e 1 1 -> EPERM\n"},
        {"ioperm deny 30", {"-y", "-L", "0x2e", "0x2f"}, "Error: Could not ioperm() data register!\n",
         "ioperm 0x002f 4 1 -> EPERM\n"},
    };
    for (const auto &c : cases) {
        run_result r = peek(c.args, std::string(c.scenario) + "\nsuperio 2e\n", "y\n");
        EXPECT_EQ(r.err, c.err) << c.scenario;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, c.trace);
    }
}

// ---- Dumps --------------------------------------------------------------------

// 0x290-0x29f: a5 a5 ... 5a 5a, then 0x2a0 reads 01 and the rest all ones.
const char *const FLAT_PORTS = "latch 290-297 a5\nlatch 298-29f 5a\ninput 2a0 01\n";

std::string flat_reads(const char *op, int first, int count, int step)
{
    std::string t;
    for (int p = first; p < first + count; p += step)
        t += std::string(op) + " " + hex((unsigned)p, 4) + " -> ";
    return t;
}

TEST(RegpeekFlatDump, BytesWordsAndLongs)
{
    const struct {
        const char *option;
        std::string out;
        const char *op;
        int step;
    } cases[] = {
        {"-y", HEADER_BYTE_FLAT + "0290: " + repeat("a5 ", 8) + repeat("5a ", 8) + "\n" +
                   "02a0: 01 " + repeat("ff ", 15) + "\n",
         "inb", 1},
        {"-W", HEADER_WORD_FLAT + "0290: " + repeat("a5a5 ", 4) + repeat("5a5a ", 4) + "\n" +
                   "02a0: ff01 " + repeat("ffff ", 7) + "\n",
         "inw", 2},
        {"-L", HEADER_LONG_FLAT + "0290: a5a5a5a5 a5a5a5a5 5a5a5a5a 5a5a5a5a \n" +
                   "02a0: ffffff01 ffffffff ffffffff ffffffff \n",
         "inl", 4},
    };
    for (const auto &c : cases) {
        run_result r = peek({"-f", c.option, "-y", "0x290", "32"}, FLAT_PORTS);
        EXPECT_EQ(r.out, c.out) << c.option;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
        // iopl, then one read per value, in port order, and nothing else
        std::string t = r.trace;
        EXPECT_EQ(line(t, 0), "iopl 3 -> ok\n");
        std::string ports;
        for (size_t p = 0; (p = t.find(c.op, p)) != std::string::npos; p = t.find('\n', p))
            ports += t.substr(p, t.find("-> ", p) + 3 - p);
        EXPECT_EQ(ports, flat_reads(c.op, 0x290, 32, c.step));
        EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), 1 + 32 / c.step) << t;
    }
}

TEST(RegpeekFlatDump, WithoutARangeTheAddressIsClearedToItsPageOf256Ports)
{
    const char *ports = "latch 200 01\nlatch 294 94\nlatch 2ff 02\n";
    run_result r = peek({"-f", "0x295"}, ports, "y\n");
    EXPECT_EQ(r.err, WARNING + "I will probe address range 0x200 to 0x2ff.\n" + QUESTION);
    EXPECT_EQ(count_lines(r.out), 17);
    EXPECT_EQ(line(r.out, 1), "0200: 01 " + repeat("ff ", 15) + "\n");
    EXPECT_EQ(line(r.out, 10), "0290: " + repeat("ff ", 4) + "94 " + repeat("ff ", 11) + "\n");
    EXPECT_EQ(line(r.out, 16), "02f0: " + repeat("ff ", 15) + "02 \n");
    EXPECT_EQ(line(r.trace, 1), "inb 0x0200 -> 0x01\n");
    EXPECT_EQ(line(r.trace, 256), "inb 0x02ff -> 0x02\n");

    r = peek({"-f", "-y", "0x295", "16"}, ports);
    EXPECT_EQ(r.out, HEADER_BYTE_FLAT + "0295: " + repeat("ff ", 16) + "\n");
    EXPECT_EQ(line(r.trace, 1), "inb 0x0295 -> 0xff\n");
    EXPECT_EQ(line(r.trace, 16), "inb 0x02a4 -> 0xff\n");
    EXPECT_EQ(line(r.trace, 17), "");
}

TEST(RegpeekFlatDump, TheLastPageEndsAtTheLastPort)
{
    run_result r = peek({"-f", "-y", "-L", "0xfff0", "16"}, "latch fffc-ffff 77");
    EXPECT_EQ(r.out, HEADER_LONG_FLAT + "fff0: ffffffff ffffffff ffffffff 77777777 \n");
    EXPECT_EQ(line(r.trace, 4), "inl 0xfffc -> 0x77777777\n");
    EXPECT_EQ(line(r.trace, 5), "");
}

// 128 registers: the address register reads back 0x80.
const char *const HALF_CHIP = "indexed c00 c01 addr-reads 80\nreg 00 a5\nreg 0f 5a\nreg 70 11\nreg 7f ee\nreg 80 99\n";

TEST(RegpeekPairDump, AnAddressRegisterReadingBack80MeansEightRows)
{
    run_result r = peek({"-y", "0xc00", "0xc01"}, HALF_CHIP);
    EXPECT_EQ(r.out, HEADER_BYTE_PAIR + "00: a5 " + repeat("00 ", 14) + "5a \n" + "10: " + repeat("00 ", 16) +
                         "\n" + "20: " + repeat("00 ", 16) + "\n" + "30: " + repeat("00 ", 16) + "\n" +
                         "40: " + repeat("00 ", 16) + "\n" + "50: " + repeat("00 ", 16) + "\n" + "60: " +
                         repeat("00 ", 16) + "\n" + "70: 11 " + repeat("00 ", 14) + "ee \n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    std::string expected = "iopl 3 -> ok\noutb 0x0c00 0x00\ninb 0x0c00 -> 0x80\ninb 0x0c01 -> 0xa5\n";
    for (int i = 1; i < 128; i++)
        expected += "outb 0x0c00 " + hex((unsigned)i, 2) + "\ninb 0x0c01 -> " +
                    (i == 0x0f ? "0x5a" : i == 0x70 ? "0x11" : i == 0x7f ? "0xee" : "0x00") + "\n";
    EXPECT_EQ(r.trace, expected) << "the address register is read once, after index 0";
}

TEST(RegpeekPairDump, AnyOtherReadBackMeansSixteenRows)
{
    for (const char *chip : {"indexed c00 c01 addr-reads 81\nreg ff 42", "indexed c00 c01 addr-reads 00\nreg ff 42",
                             "indexed c00 c01\nreg ff 42"}) {
        run_result r = peek({"-y", "0xc00", "0xc01"}, chip);
        EXPECT_EQ(count_lines(r.out), 17) << chip;
        EXPECT_EQ(line(r.out, 16), "f0: " + repeat("00 ", 15) + "42 \n");
        EXPECT_EQ(trace_lines(r.trace, "inb 0x0c00").size(), std::string("inb 0x0c00 -> 0x00\n").size());
    }
}

// Word and long reads through a chip whose data register reaches consecutive
// registers: the index advances by the width and is written once per value.
const char *const WIDE_HALF_CHIP = "indexed 295 296 wide addr-reads 80\n"
                                   "reg 00 34\nreg 01 12\nreg 0e cd\nreg 0f ab\nreg 7e 11\nreg 7f 22\n";

TEST(RegpeekPairDump, WordsAndLongsThroughTheDataRegister)
{
    run_result r = peek({"-y", "-W", "0x295", "0x296"}, WIDE_HALF_CHIP);
    std::string zero_row = repeat("0000 ", 8) + "\n";
    EXPECT_EQ(r.out, HEADER_WORD_PAIR + "00: 1234 " + repeat("0000 ", 6) + "abcd \n" + "10: " + zero_row +
                         "20: " + zero_row + "30: " + zero_row + "40: " + zero_row + "50: " + zero_row +
                         "60: " + zero_row + "70: " + repeat("0000 ", 7) + "2211 \n");
    EXPECT_EQ(r.status, 0);
    std::string expected = "ioperm 0x0296 2 1 -> ok\nioperm 0x0295 1 1 -> ok\n"
                           "outb 0x0295 0x00\ninb 0x0295 -> 0x80\ninw 0x0296 -> 0x1234\n";
    for (int i = 2; i < 128; i += 2)
        expected += "outb 0x0295 " + hex((unsigned)i, 2) + "\ninw 0x0296 -> " +
                    (i == 0x0e ? "0xabcd" : i == 0x7e ? "0x2211" : "0x0000") + "\n";
    EXPECT_EQ(r.trace, expected);

    r = peek({"-y", "-L", "0x295", "0x296"}, WIDE_HALF_CHIP);
    zero_row = repeat("00000000 ", 4) + "\n";
    EXPECT_EQ(r.out, HEADER_LONG_PAIR + "00: 00001234 00000000 00000000 abcd0000 \n" + "10: " + zero_row +
                         "20: " + zero_row + "30: " + zero_row + "40: " + zero_row + "50: " + zero_row +
                         "60: " + zero_row + "70: 00000000 00000000 00000000 22110000 \n");
    EXPECT_EQ(line(r.trace, 0), "ioperm 0x0296 4 1 -> ok\n");
    EXPECT_EQ(line(r.trace, 4), "inl 0x0296 -> 0x00001234\n");
    EXPECT_EQ(line(r.trace, 5), "outb 0x0295 0x04\n");
    EXPECT_EQ(count_lines(trace_lines(r.trace, "inl")), 32);
}

TEST(RegpeekPairDump, AByteWideChipGivesTheUpperBytesOfItsNeighbours)
{
    // On an 8-bit bus a word read of the data register takes its high byte from the next port.
    run_result r = peek({"-y", "-W", "0x295", "0x296"}, "indexed 295 296 addr-reads 80\nreg 00 34\nlatch 297 12");
    EXPECT_EQ(line(r.out, 1), "00: 1234 " + repeat("1200 ", 7) + "\n");
}

TEST(RegpeekBank, SelectedBeforeTheDumpAndPutBackAfterIt)
{
    const char *chip = "indexed 295 296 bank 4e addr-reads 80\nreg 4e 03\nreg 1:00 11\nreg 3:00 33\n";
    for (auto args : {std::vector<std::string>{"-y", "0x295", "0x296", "1"}, {"-y", "0x295", "0x296", "1", "0x4e"}}) {
        run_result r = peek(args, chip);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(line(r.out, 1), "00: 11 " + repeat("00 ", 15) + "\n") << "bank 1 is dumped";
        EXPECT_EQ(line(r.out, 5), "40: " + repeat("00 ", 14) + "01 00 \n") << "the bank register shows it";
        std::string t = r.trace;
        EXPECT_EQ(t.substr(0, t.find("outb 0x0295 0x00\n")),
                  "ioperm 0x0296 1 1 -> ok\nioperm 0x0295 1 1 -> ok\n"
                  "outb 0x0295 0x4e\ninb 0x0296 -> 0x03\noutb 0x0296 0x01\n");
        EXPECT_EQ(t.substr(t.rfind("inb 0x0296 -> 0x00\n") + 19), "outb 0x0295 0x4e\ninb 0x0296 -> 0x01\noutb 0x0296 0x03\n");
        EXPECT_NE(r.state.find("reg 0x4e 0x03"), std::string::npos) << r.state;
    }
}

TEST(RegpeekBank, AnExplicitBankRegisterInsideTheChip)
{
    run_result r = peek({"-y", "0x295", "0x296", "2", "0x10"}, "indexed 295 296 bank 10 addr-reads 80\nreg 2:00 22");
    EXPECT_EQ(line(r.out, 1), "00: 22 " + repeat("00 ", 15) + "\n");
    EXPECT_EQ(line(r.trace, 2) + line(r.trace, 3) + line(r.trace, 4),
              "outb 0x0295 0x10\ninb 0x0296 -> 0x00\noutb 0x0296 0x02\n");
}

TEST(RegpeekBank, FlatModeTakesTheBankRegisterAsAnOffsetFromTheAddress)
{
    const char *ports = "latch 290-298 00\nlatch 299 03\nlatch 29a-2af 00\n";
    run_result r = peek({"-f", "-y", "0x290", "16", "2"}, ports);
    EXPECT_EQ(r.out, HEADER_BYTE_FLAT + "0290: " + repeat("00 ", 9) + "02 " + repeat("00 ", 6) + "\n");
    std::string t = r.trace;
    EXPECT_EQ(line(t, 1) + line(t, 2) + line(t, 3), "inb 0x0299 -> 0x03\noutb 0x0299 0x02\ninb 0x0290 -> 0x00\n");
    EXPECT_EQ(line(t, 19) + line(t, 20) + line(t, 21), "inb 0x0299 -> 0x02\noutb 0x0299 0x03\n");
    EXPECT_NE(r.state.find("latch 0x0299 0x03"), std::string::npos);

    r = peek({"-f", "-y", "-W", "0x290", "32", "1", "31"}, ports);
    EXPECT_EQ(line(r.trace, 1) + line(r.trace, 2), "inb 0x02af -> 0x00\noutb 0x02af 0x01\n");
    EXPECT_EQ(line(r.out, 2), "02a0: " + repeat("0000 ", 7) + "0100 \n");
    EXPECT_EQ(line(r.trace, 19) + line(r.trace, 20), "inb 0x02af -> 0x01\noutb 0x02af 0x00\n");
}

TEST(RegpeekKey, KeyAndBankInTheirExactOrder)
{
    const char *chip = "superio 2e\nreg 07 05\nldn 9 30 01\nldn 9 e4 a5\nldn 5 30 55\n";
    run_result r = peek({"-y", "-k", "0x87,0x87", "0x2e", "0x2f", "9"}, chip);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(count_lines(r.out), 17);
    EXPECT_EQ(line(r.out, 1), "00: " + repeat("00 ", 7) + "09 " + repeat("00 ", 8) + "\n");
    EXPECT_EQ(line(r.out, 4), "30: 01 " + repeat("00 ", 15) + "\n") << "logical device 9";
    EXPECT_EQ(line(r.out, 11), "a0: " + repeat("00 ", 10) + repeat("ff ", 6) + "\n");
    EXPECT_EQ(line(r.out, 12), "b0: " + repeat("00 ", 16) + "\n") << "back in configuration mode";
    EXPECT_EQ(line(r.out, 15), "e0: 00 00 00 00 a5 " + repeat("00 ", 11) + "\n");

    const std::string key = "outb 0x002e 0x87\noutb 0x002e 0x87\n";
    std::string expected = "ioperm 0x002f 1 1 -> ok\nioperm 0x002e 1 1 -> ok\n" + key +
                           "outb 0x002e 0x07\ninb 0x002f -> 0x05\noutb 0x002f 0x09\n";
    for (int row = 0; row < 256; row += 16) {
        expected += key;
        for (int i = row; i < row + 16; i++) {
            expected += "outb 0x002e " + hex((unsigned)i, 2) + "\n";
            if (i == 0)
                expected += "inb 0x002e -> 0x00\n";
            // Index 0xaa is the exit key: the chip is silent up to the next row's key.
            expected += std::string("inb 0x002f -> ") +
                        (i == 0x07   ? "0x09"
                         : i == 0x30 ? "0x01"
                         : i == 0xe4 ? "0xa5"
                         : i >= 0xaa && i <= 0xaf ? "0xff"
                                                  : "0x00") +
                        "\n";
        }
    }
    expected += "outb 0x002e 0x07\ninb 0x002f -> 0x09\noutb 0x002f 0x05\n"
                "outb 0x002e 0xaa\noutb 0x002e 0x02\noutb 0x002f 0x02\n";
    EXPECT_EQ(r.trace, expected);
    const std::string access = "ioperm 0x002f 1 1 -> ok\nioperm 0x002e 1 1 -> ok\n";
    EXPECT_EQ(r.full_trace, access + "lock\n" + expected.substr(access.size()) + "unlock\n")
        << "one port lock from the key to the exit sequence";
    EXPECT_NE(r.state.find("wait for key"), std::string::npos) << r.state;
    EXPECT_NE(r.state.find("reg 0x07 0x05"), std::string::npos) << "the old logical device is back";
}

TEST(RegpeekPortLock, AHeldOrUnusableLockStopsTheToolBeforeAnyPortButNotTheQuestion)
{
    std::string lock = scratch_lock("regpeek");
    int holder = hold_file_lock(lock);
    ASSERT_GE(holder, 0);
    run_request req;
    req.program = TOOL_SIM;
    req.scenario = "superio 2e\nreg 20 52";
    req.env = {"HWSIM_LOCK=" + lock};

    // Nobody waits for the lock while the operator is asked.
    req.args = {"-k", "0x87,0x87", "0x2e", "0x2f"};
    req.input = "n\n";
    run_result r = run_program(req);
    EXPECT_EQ(r.err, WARNING + "I will probe address register 0x2e and data register 0x2f.\n" + QUESTION + ABORTED);
    EXPECT_EQ(r.full_trace, "");

    req.args = {"-y", "-k", "0x87,0x87", "0x2e", "0x2f"};
    req.input = "";
    r = run_program(req);
    close(holder);
    EXPECT_EQ(r.err, lock_held_error(lock));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.full_trace, "ioperm 0x002f 1 1 -> ok\nioperm 0x002e 1 1 -> ok\nlock -> refused\n");

    unlink(lock.c_str());
    ASSERT_EQ(mkdir(lock.c_str(), 0700), 0);
    r = run_program(req);
    rmdir(lock.c_str());
    EXPECT_EQ(r.err, "Error: cannot open port lock " + lock + ": Is a directory!\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.trace, "ioperm 0x002f 1 1 -> ok\nioperm 0x002e 1 1 -> ok\n");
}

TEST(RegpeekKey, WithoutTheKeyTheChipStaysSilent)
{
    run_result r = peek({"-y", "0x2e", "0x2f"}, "superio 2e\nreg 20 52");
    EXPECT_EQ(line(r.out, 3), "20: " + repeat("ff ", 16) + "\n");
    EXPECT_EQ(r.trace.substr(r.trace.size() - 36), "outb 0x002e 0xff\ninb 0x002f -> 0xff\n")
        << "no exit sequence without a key";
    r = peek({"-y", "-k", "0x87,0x87", "0x2e", "0x2f"}, "superio 2e\nreg 20 52");
    EXPECT_EQ(line(r.out, 3), "20: 52 " + repeat("00 ", 15) + "\n");
    EXPECT_EQ(r.trace.substr(r.trace.size() - 51), "outb 0x002e 0xaa\noutb 0x002e 0x02\noutb 0x002f 0x02\n");
}

TEST(RegpeekOutput, EveryValueIsOutBeforeTheNextPortIsRead)
{
    // The trace goes to the same pipe as standard output, as each access happens.
    run_request req;
    req.program = "/bin/sh";
    req.args = {"-c", "HWSIM_TRACE=/dev/stdout exec \"$0\" \"$@\"", TOOL_SIM, "-f", "-y", "0x290", "16"};
    req.scenario = "latch 290-29f 5a";
    run_result r = run_program(req);
    std::string expected = "iopl 3 -> ok\nlock\n" + HEADER_BYTE_FLAT + "0290: ";
    for (int p = 0x290; p < 0x2a0; p++)
        expected += "inb " + hex((unsigned)p, 4) + " -> 0x5a\n5a ";
    // The last value leaves with the line end, at the exit.
    expected.insert(expected.size() - 3, "unlock\n");
    expected += "\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
}

} // namespace
