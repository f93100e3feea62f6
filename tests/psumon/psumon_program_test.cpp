// psumon as a whole program on simulated boards: what it prints, how it
// exits, and what it did to the ports and the IPMI device.
#include "run_program.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const char *const X8SIE_BOARD = R"(
pci 00:1c.0 3b428086
superio 2e
ldn 9 e4 a5
)";

const char *const X11_BOARD = R"(
pci 00:1c.0 a1108086
bmc reply 30 92 00 05
)";

const char *const X10DRLI_BOARD = R"(
pci 00:1c.0 8d108086
bmc mwr b2 00 40
bmc mwr b0 00 00
)";

const char *const USAGE = "psumon v0.5\n"
                          "run with args,please\n"
                          "run once:./psumon 09 E4 or ./psumon\n"
                          "run test mode :./psumon -test\n"
                          "run test mode :./psumon -loop\n"
                          "run test mode :./psumon -loopex\n";

run_result psumon(std::vector<std::string> args, const std::string &scenario)
{
    run_request r;
    r.program = PSUMON_SIM;
    r.args = std::move(args);
    r.scenario = scenario;
    return run_program(r);
}

// The board identifier read, then one Super-I/O read of device 9, register 0xE4.
const char *const SUPERIO_READ_TRACE = "iopl 3 -> ok\n"
                                       "outl 0x0cf8 0x8000e000\n"
                                       "outb 0x0080 0x00\n"
                                       "inl 0x0cfc -> 0x3b428086\n"
                                       "outb 0x0080 0x86\n"
                                       "outb 0x002e 0x87\n"
                                       "outb 0x0080 0x87\n"
                                       "outb 0x002e 0x87\n"
                                       "outb 0x0080 0x87\n"
                                       "outb 0x002e 0x07\n"
                                       "outb 0x0080 0x07\n"
                                       "outb 0x002f 0x09\n"
                                       "outb 0x0080 0x09\n"
                                       "usleep 10000\n"
                                       "outb 0x002e 0xe4\n"
                                       "outb 0x0080 0xe4\n"
                                       "usleep 10000\n"
                                       "inb 0x002f -> 0xa5\n"
                                       "outb 0x0080 0xa5\n"
                                       "outb 0x002e 0xaa\n"
                                       "outb 0x0080 0xaa\n";

TEST(PsumonSingleCheck, SuperIoBoardPrintsTheStatusLineAfterTheExactPortSequence)
{
    run_result r = psumon({}, X8SIE_BOARD);
    EXPECT_EQ(r.out, "A5\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.trace, SUPERIO_READ_TRACE);
    EXPECT_NE(r.state.find("wait for key"), std::string::npos) << "the chip was left in configuration mode";
}

TEST(PsumonSingleCheck, TwoArgumentsOfAnyTextAreTheSingleCheck)
{
    for (auto args : {std::vector<std::string>{"09", "E4"}, {"-test", "-loop"}, {"", "x"}}) {
        run_result r = psumon(args, X8SIE_BOARD);
        EXPECT_EQ(r.out, "A5\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.trace, SUPERIO_READ_TRACE);
    }
}

TEST(PsumonSingleCheck, BoardsWithoutAReaderOfTheirOwnAreReadThroughTheSuperIo)
{
    // X8DTH, an identifier outside the table, and no device at 00:1C.0 at all.
    for (const char *pci : {"pci 00:1c.0 34068086\n", "pci 00:1c.0 12345678\n", ""}) {
        run_result r = psumon({}, std::string(pci) + "superio 2e\nldn 9 e4 00\n");
        EXPECT_EQ(r.out, "00\n") << pci;
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.trace.find("inb 0x002f -> 0x00"), std::string::npos);
        EXPECT_EQ(trace_lines(r.trace, "ipmi"), "");
    }
}

TEST(PsumonSingleCheck, SuperIoWithoutAChipReadsAllOnes)
{
    run_result r = psumon({}, "pci 00:1c.0 3b428086\n");
    EXPECT_EQ(r.out, "FF\n");
    EXPECT_EQ(r.status, 0);
}

TEST(PsumonSingleCheck, X11BoardAsksTheBmcAndExitsZeroWhateverTheState)
{
    run_result r = psumon({}, "pci 00:1c.0 a1108086\nbmc reply 30 92 00 85\n");
    EXPECT_EQ(r.out, "85\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(trace_lines(r.trace, "ipmi"),
              "ipmi open /dev/ipmi0 O_RDWR -> ok\n"
              "ipmi events 0 -> ok\n"
              "ipmi send msgid=0 addr=type:0c,channel:0f,lun:00 addrlen=8 netfn=30 cmd=92 data=[] -> ok\n"
              "ipmi select -> ok\n"
              "ipmi receive addrlen=40 datalen=32 msgid=0 netfn=31 cmd=92 data=[00 85] of 2 -> ok\n"
              "ipmi close\n");
    EXPECT_EQ(trace_lines(r.trace, "inb"), "") << "an IPMI board has no Super-I/O read";
}

TEST(PsumonSingleCheck, X10drliBoardReadsBothSuppliesOverThePrivateBus)
{
    run_result r = psumon({}, X10DRLI_BOARD);
    EXPECT_EQ(r.out, "4000\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(trace_lines(r.trace, "ipmi send"),
              "ipmi send msgid=0 addr=type:0c,channel:0f,lun:00 addrlen=8 netfn=06 cmd=52 "
              "data=[07 b2 01 79] -> ok\n"
              "ipmi send msgid=1 addr=type:0c,channel:0f,lun:00 addrlen=8 netfn=06 cmd=52 "
              "data=[07 b0 01 79] -> ok\n");
    EXPECT_EQ(trace_lines(r.trace, "ipmi open").size(), 2 * std::string("ipmi open /dev/ipmi0 O_RDWR -> ok\n").size());
}

TEST(PsumonUsage, ThreeOrMoreArgumentsPrintTheUsageAndReadNothing)
{
    for (auto args : {std::vector<std::string>{"a", "b", "c"}, {"-test", "-loop", "-loopex", "x"}}) {
        run_result r = psumon(args, X8SIE_BOARD);
        EXPECT_EQ(r.out, USAGE);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.trace, "");
    }
}

TEST(PsumonUsage, NearMissesOfTheOptionsPrintTheUsageAndReadNothing)
{
    for (const char *arg : {"-TEST", "-lo", "-tests", "-loopexx", "-Loop", "test", "", "--test"}) {
        run_result r = psumon({arg}, X8SIE_BOARD);
        EXPECT_EQ(r.out, USAGE) << arg;
        EXPECT_EQ(r.status, 0) << arg;
        EXPECT_EQ(r.trace, "") << arg;
    }
}

TEST(PsumonTest, ExitStatusIsTheSuperIoStateByte)
{
    run_result r = psumon({"-test"}, X8SIE_BOARD);
    EXPECT_EQ(r.out, "psumon v0.5\nFunction[get_x8sie_ln4_power_state] state= A5\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0xA5);
}

TEST(PsumonTest, ExitStatusIsTheOemStateByteOnTheX11Board)
{
    run_result r = psumon({"-test"}, X11_BOARD);
    EXPECT_EQ(r.out, "psumon v0.5\nFunction[get_x11ds_power_state] state= 05\n");
    EXPECT_EQ(r.status, 5);
}

TEST(PsumonTest, X10drliFoldsTheTwoSupplyBytesToZeroOrOne)
{
    const std::string nak_b2 = "IPMI request 06/52 (07 B2 01 79) failed: completion code 83 (NAK on write)\n";
    const std::string nak_b0 = "IPMI request 06/52 (07 B0 01 79) failed: completion code 83 (NAK on write)\n";
    struct {
        const char *b2, *b0, *line;
        int status;
        std::string err;
    } cases[] = {
        {"00 00", "00 00", "00|00", 0, ""},
        {"00 00", "00 02", "00|02", 1, ""},
        {"00 40", "00 00", "40|00", 1, ""},
        {"00 80", "00 00", "80|00", 1, ""},
        {"00 ff", "00 ff", "FF|FF", 1, ""},
        // A supply that stopped answering counts as 0, and is named.
        {"83", "00 00", "00|00", 0, nak_b2},
        {"00 00", "83", "00|00", 0, nak_b0},
        {"83", "83", "00|00", 0, nak_b2 + nak_b0},
        {"83", "00 08", "00|08", 1, nak_b2},
        {"c3", "00", "00|00", 0,
         "IPMI request 06/52 (07 B2 01 79) failed: completion code C3 (timeout)\n"
         "IPMI request 06/52 (07 B0 01 79) failed: reply without data\n"},
    };
    for (const auto &c : cases) {
        std::string board = std::string("pci 00:1c.0 8d108086\nbmc mwr b2 ") + c.b2 + "\nbmc mwr b0 " + c.b0 + "\n";
        run_result r = psumon({"-test"}, board);
        EXPECT_EQ(r.out, std::string("psumon v0.5\nFunction[get_x10drli_power_state] state= ") + c.line + "\n");
        EXPECT_EQ(r.err, c.err) << c.line;
        EXPECT_EQ(r.status, c.status) << c.line;
        r = psumon({}, board);
        EXPECT_EQ(r.out, std::string(c.line).replace(2, 1, "") + "\n");
        EXPECT_EQ(r.err, c.err) << c.line;
        EXPECT_EQ(r.status, 0) << c.line;
    }
}

TEST(PsumonTest, BoardsWithoutAReaderOfTheirOwnNameTheSuperIoReader)
{
    for (const char *id : {"34068086", "12345678"}) {
        run_result r = psumon({"-test"}, std::string("pci 00:1c.0 ") + id + "\nsuperio 2e\nldn 9 e4 42\n");
        EXPECT_EQ(r.out, "psumon v0.5\nFunction[get_x8sie_ln4_power_state] state= 42\n") << id;
        EXPECT_EQ(r.status, 0x42);
    }
}

TEST(PsumonTest, X10drliWithoutAnyIpmiDeviceIsStateZero)
{
    run_result r = psumon({"-test"}, "pci 00:1c.0 8d108086\n");
    EXPECT_EQ(r.out, "psumon v0.5\nFunction[get_x10drli_power_state] state= 00|00\n");
    EXPECT_EQ(r.err, "Could not open ipmi device: No such file or directory\n"
                     "Could not open ipmi device: No such file or directory\n");
    EXPECT_EQ(r.status, 0);
}

TEST(PsumonWatch, BannerNamesTheBoardOrNA)
{
    const struct {
        const char *scenario, *banner;
    } boards[] = {
        {"pci 00:1c.0 12345678\nsuperio 2e\nldn 9 e4 01\n", "get_mboard_id, MainBoard type is N/A(0x12345678) \n"},
        {"superio 2e\nldn 9 e4 01\n", "get_mboard_id, MainBoard type is N/A(0xFFFFFFFF) \n"},
        {"pci 00:1c.0 8d108086\nbmc mwr b2 00 00\nbmc mwr b0 00 00\n",
         "get_mboard_id, MainBoard type is X10DRL-i(0x8D108086) \n"},
        {"pci 00:1c.0 036910de\nsuperio 2e\nldn 9 e4 01\n", "get_mboard_id, MainBoard type is H8DAE_2(0x036910DE) \n"},
    };
    for (const auto &b : boards) {
        run_result r = psumon({"-loop"}, std::string(b.scenario) + "halt after-sleeps 0\n");
        EXPECT_EQ(r.out.substr(0, r.out.find('\n', 12) + 1), std::string("psumon v0.5\n") + b.banner);
        EXPECT_EQ(r.signal, SIGTERM);
    }
}

TEST(PsumonWatch, LoopReportsEachChangeWithTheCountOfUnchangedPolls)
{
    run_result r = psumon({"-loop"}, R"(
pci 00:1c.0 3b428086
superio 2e
ldn 9 e4 01,01,01,01,01,01,03,01,01,07
halt when-done
)");
    const char *read = "Function[get_x8sie_ln4_power_state] state= ";
    std::string expected = std::string("psumon v0.5\n"
                                       "get_mboard_id, MainBoard type is X8SIE_LN4(0x3B428086) \n") +
                           read + "01\n" + "init power state is 0x01\n";
    for (int i = 0; i < 5; i++)
        expected += std::string(read) + "01\n";
    expected += std::string(read) + "03\nget state= 03\nstate is changed from 0x01 to 0x03(count=5)\n";
    expected += std::string(read) + "01\nget state= 01\nstate is changed from 0x03 to 0x01(count=0)\n";
    expected += std::string(read) + "01\n";
    expected += std::string(read) + "07\nget state= 07\nstate is changed from 0x01 to 0x07(count=1)\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.signal, SIGTERM);
    // One identification for the whole watch, one second between polls.
    EXPECT_EQ(trace_lines(r.trace, "inl"), "inl 0x0cfc -> 0x3b428086\n");
    EXPECT_EQ(trace_lines(r.trace, "usleep 1000000").size(), 9 * std::string("usleep 1000000\n").size());
}

TEST(PsumonWatch, LoopOnTheX11BoardReportsAFailedRequestAsStateZero)
{
    run_result r = psumon({"-loop"}, R"(
pci 00:1c.0 a1108086
bmc reply 30 92 00 03 | c1 | 00 03
halt when-done
)");
    EXPECT_EQ(r.out, "psumon v0.5\n"
                     "get_mboard_id, MainBoard type is X11(0xA1108086) \n"
                     "Function[get_x11ds_power_state] state= 03\n"
                     "init power state is 0x03\n"
                     "Function[get_x11ds_power_state] state= 00\n"
                     "get state= 00\n"
                     "state is changed from 0x03 to 0x00(count=0)\n"
                     "Function[get_x11ds_power_state] state= 03\n"
                     "get state= 03\n"
                     "state is changed from 0x00 to 0x03(count=0)\n");
    EXPECT_EQ(r.err, "IPMI request 30/92 failed: completion code C1 (invalid command)\n");
    EXPECT_EQ(r.signal, SIGTERM);
}

TEST(PsumonWatch, LoopexMasksDisagreementAndWarnsWhenAllThreeDiffer)
{
    run_result r = psumon({"-loopex"}, R"(
pci 00:1c.0 a1108086
bmc reply 30 92 00 03 | 00 01 | 00 03 | 00 07 | 00 03 | 00 01 | 00 03 | 00 03 | 00 03
halt when-done
)");
    const char *read = "Function[get_x11ds_power_state] state= ";
    std::string expected = std::string("psumon v0.5\n"
                                       "get_mboard_id, MainBoard type is X11(0xA1108086) \n") +
                           read + "03\n" + read + "01\n" + read + "03\n" + "init power state is 0x01\n" +
                           read + "07\n" + read + "03\n" + read + "01\n" + "warning, 07, 03, 01\n" +
                           read + "03\n" + read + "03\n" + read + "03\n" +
                           "state is changed from 0x01 to 0x03(count=1)\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.signal, SIGTERM);
    EXPECT_EQ(r.out.find("get state="), std::string::npos);
}

TEST(PsumonWatch, MessageIdsRunOnAcrossDescriptors)
{
    run_result r = psumon({"-loopex"}, "pci 00:1c.0 a1108086\nbmc reply 30 92 00 01\nhalt after-sleeps 0\n");
    EXPECT_EQ(r.out, "psumon v0.5\n"
                     "get_mboard_id, MainBoard type is X11(0xA1108086) \n"
                     "Function[get_x11ds_power_state] state= 01\n"
                     "Function[get_x11ds_power_state] state= 01\n"
                     "Function[get_x11ds_power_state] state= 01\n"
                     "init power state is 0x01\n");
    std::string expected;
    for (int id = 0; id < 3; id++)
        expected += "ipmi open /dev/ipmi0 O_RDWR -> ok\n"
                    "ipmi send msgid=" + std::to_string(id) + "\n"
                    "ipmi close\n";
    std::string seen;
    std::stringstream lines(r.trace);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("ipmi send", 0) == 0)
            seen += line.substr(0, line.find(' ', 10)) + "\n";
        else if (line.rfind("ipmi open", 0) == 0 || line == "ipmi close")
            seen += line + "\n";
    }
    EXPECT_EQ(seen, expected);
}

TEST(PsumonWatch, ChangeLinesReachAPipeBeforeTheWatchIsKilled)
{
    // Real one-second polls; the watch is killed from outside once the change shows.
    run_request req;
    req.program = PSUMON_SIM;
    req.args = {"-loop"};
    req.scenario = "pci 00:1c.0 3b428086\nsuperio 2e\nldn 9 e4 01,03\ndelay real\n";
    req.kill_after_output = "state is changed from 0x01 to 0x03(count=0)\n";
    req.timeout_ms = 10000;
    run_result r = run_program(req);
    EXPECT_FALSE(r.timed_out) << "the change line never reached the pipe";
    EXPECT_EQ(r.signal, SIGTERM);
    EXPECT_NE(r.out.find("get state= 03\nstate is changed from 0x01 to 0x03(count=0)\n"), std::string::npos);
}

TEST(PsumonPrivilege, RefusedIoplTouchesNoPortInAnyMode)
{
    const char *board = "iopl deny EPERM\npci 00:1c.0 3b428086\nsuperio 2e\nldn 9 e4 a5\n";
    struct {
        std::vector<std::string> args;
        const char *out;
    } modes[] = {
        {{}, ""}, {{"09", "E4"}, ""}, {{"-test"}, "psumon v0.5\n"},
        {{"-loop"}, "psumon v0.5\n"}, {{"-loopex"}, "psumon v0.5\n"},
    };
    for (const auto &m : modes) {
        run_result r = psumon(m.args, board);
        EXPECT_EQ(r.out, m.out);
        EXPECT_EQ(r.err, "Error: Could not do iopl(3): Operation not permitted\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.trace, "iopl 3 -> EPERM\n");
    }
}

// The deliverable itself, on this machine's kernel, as an unprivileged user:
// iopl is refused whatever the kernel, so no real port can be reached.
TEST(PsumonPrivilege, TheRealProgramFailsCleanlyWithoutPrivilege)
{
    if (std::string why = host_lacks("root"); !why.empty())
        GTEST_SKIP() << why;
    for (auto mode : {std::vector<std::string>{}, {"-test"}, {"-loop"}, {"-loopex"}}) {
        run_request req;
        req.program = PSUMON_REAL;
        req.args = mode;
        run_result r = run_program(as_nobody(req));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, mode.empty() ? "" : "psumon v0.5\n");
        EXPECT_EQ(r.err.rfind("Error: Could not do iopl(3): ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    }
}

// ---- The port lock -------------------------------------------------------------

std::string scratch_path(const std::string &name)
{
    return "/tmp/hwkit-psumon-" + std::to_string(getpid()) + "-" + name;
}

run_result psumon_with_lock(std::vector<std::string> args, const std::string &scenario, const std::string &lock)
{
    run_request r;
    r.program = PSUMON_SIM;
    r.args = std::move(args);
    r.scenario = scenario;
    r.env = {"HWSIM_LOCK=" + lock};
    return run_program(r);
}

TEST(PsumonPortLock, HeldForThePciPairAndForTheWholeSuperIoRead)
{
    run_result r = psumon({}, X8SIE_BOARD);
    std::string t = SUPERIO_READ_TRACE;
    size_t pci_end = 0;
    for (int line = 0; line < 5; line++)
        pci_end = t.find('\n', pci_end) + 1;
    size_t pci_start = t.find('\n') + 1;
    EXPECT_EQ(r.full_trace, t.substr(0, pci_start) + "lock\n" + t.substr(pci_start, pci_end - pci_start) +
                                "unlock\nlock\n" + t.substr(pci_end) + "unlock\n");
}

TEST(PsumonPortLock, ASecondReaderWaitsForTheHolderThenReadsWhole)
{
    std::string lock = scratch_path("wait.lock");
    int holder = hold_file_lock(lock);
    ASSERT_GE(holder, 0);
    const auto held_for = std::chrono::milliseconds(400);
    auto start = std::chrono::steady_clock::now();
    std::thread release([&] {
        std::this_thread::sleep_for(held_for);
        close(holder);
    });
    run_result r = psumon_with_lock({}, X8SIE_BOARD, lock);
    auto took = std::chrono::steady_clock::now() - start;
    release.join();
    EXPECT_EQ(r.out, "A5\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.trace, SUPERIO_READ_TRACE);
    EXPECT_GE(took, held_for) << "psumon read while another process held the lock";
    unlink(lock.c_str());
}

TEST(PsumonPortLock, AHolderThatNeverLetsGoIsNamedAndTheReadGoesOn)
{
    std::string lock = scratch_path("stuck.lock");
    int holder = hold_file_lock(lock);
    ASSERT_GE(holder, 0);
    run_result r = psumon_with_lock({"-test"}, X8SIE_BOARD, lock);
    close(holder);
    unlink(lock.c_str());
    std::string warning = "Warning: port lock " + lock + " still held by process " + std::to_string(getpid()) +
                          " after 2 s, reading without it\n";
    EXPECT_EQ(r.err, warning + warning) << "once for the board identifier, once for the Super-I/O read";
    EXPECT_EQ(r.out, "psumon v0.5\nFunction[get_x8sie_ln4_power_state] state= A5\n");
    EXPECT_EQ(r.status, 0xA5);
    EXPECT_EQ(trace_lines(r.full_trace, "lock"), "lock -> refused\nlock -> refused\n");
    EXPECT_EQ(trace_lines(r.full_trace, "unlock"), "");
}

TEST(PsumonPortLock, AMissingLockFileIsMadeWithItsFolderForItsOwnerAlone)
{
    std::string folder = scratch_path("run");
    std::string lock = folder + "/lock/ports.lock";
    run_result r = psumon_with_lock({}, X8SIE_BOARD, lock);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "A5\n");
    struct stat st;
    ASSERT_EQ(lstat(lock.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    unlink(lock.c_str());
    rmdir((folder + "/lock").c_str());
    rmdir(folder.c_str());
}

TEST(PsumonPortLock, AnUnusableLockFileIsNamedAndTheReadGoesOn)
{
    std::string target = scratch_path("target");
    std::string symbolic = scratch_path("link.lock");
    std::string folder = scratch_path("folder.lock");
    std::string foreign = scratch_path("foreign.lock");
    std::string second_name = scratch_path("second-name.lock");
    std::string readable = scratch_path("readable.lock");
    ASSERT_EQ(close(open(target.c_str(), O_WRONLY | O_CREAT, 0600)), 0);
    ASSERT_EQ(symlink(target.c_str(), symbolic.c_str()), 0);
    ASSERT_EQ(link(target.c_str(), second_name.c_str()), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(close(open(foreign.c_str(), O_WRONLY | O_CREAT, 0600)), 0);
    ASSERT_EQ(close(open(readable.c_str(), O_WRONLY | O_CREAT, 0600)), 0);
    ASSERT_EQ(chmod(readable.c_str(), 0644), 0);
    const std::string not_alone = " is not a file of user " + std::to_string(geteuid()) + " alone";
    struct {
        std::string lock, why;
    } cases[] = {
        {folder, "cannot open port lock " + folder + ": Is a directory"},
        // No link is followed: whoever may write the folder could point it anywhere.
        {symbolic, "cannot open port lock " + symbolic + ": Too many levels of symbolic links"},
        {second_name, "port lock " + second_name + not_alone},
        // Whoever may open the file may take the lock too.
        {readable, "port lock " + readable + not_alone},
    };
    for (const auto &c : cases) {
        run_result r = psumon_with_lock({}, X8SIE_BOARD, c.lock);
        std::string warning = "Warning: " + c.why + ", reading without it\n";
        EXPECT_EQ(r.err, warning + warning);
        EXPECT_EQ(r.out, "A5\n");
        EXPECT_EQ(r.status, 0);
    }
    if (geteuid() == 0 && chown(foreign.c_str(), 65534, 65534) == 0) {
        run_result r = psumon_with_lock({}, X8SIE_BOARD, foreign);
        std::string warning = "Warning: port lock " + foreign + " is not a file of user 0 alone, reading without it\n";
        EXPECT_EQ(r.err, warning + warning) << "another user's file could be locked by that user";
    }
    for (const std::string &f : {symbolic, second_name, target, foreign, readable})
        unlink(f.c_str());
    rmdir(folder.c_str());
}

struct ipmi_failure {
    const char *name;
    const char *bmc;       // scenario lines after the board identifier
    const char *err;       // standard error
    const char *out;       // the single check's status line
};

void PrintTo(const ipmi_failure &f, std::ostream *os) { *os << f.name; }

class PsumonIpmiFailure : public testing::TestWithParam<ipmi_failure> {};

TEST_P(PsumonIpmiFailure, StateAndMessage)
{
    run_result r = psumon({}, std::string("pci 00:1c.0 a1108086\n") + GetParam().bmc);
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_EQ(r.status, 0);
    // Whatever happened, no descriptor stays open and each open is closed once.
    std::string t = r.trace;
    size_t opens = 0, closes = 0;
    for (size_t p = 0; (p = t.find(" -> ok\nipmi events", p)) != std::string::npos; p++)
        opens++;
    for (size_t p = 0; (p = t.find("ipmi close\n", p)) != std::string::npos; p++)
        closes++;
    EXPECT_EQ(opens, closes);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, PsumonIpmiFailure,
    testing::Values(
        ipmi_failure{"NoDeviceNode", "", "Could not open ipmi device: No such file or directory\n", "00\n"},
        ipmi_failure{"EventsRefused", "bmc reply 30 92 00 05\nbmc fail events EINVAL\n",
                     "Could not enable event receiver: Invalid argument\n", "00\n"},
        ipmi_failure{"SendFails", "bmc reply 30 92 00 05\nbmc fail send EIO\n",
                     "Unable to send command: Input/output error\n", "00\n"},
        ipmi_failure{"WaitFails", "bmc reply 30 92 00 05\nbmc fail select EINTR\n",
                     "I/O Error: Interrupted system call\n", "00\n"},
        ipmi_failure{"ReceiveFails", "bmc reply 30 92 00 05\nbmc fail receive EIO\n",
                     "Error receiving message: Input/output error\n", "00\n"},
        ipmi_failure{"ReplyTooLong", "bmc reply 30 92 00 7f 00*38\n",
                     "Error receiving message: Message too long\n", "7F\n"},
        ipmi_failure{"ErrorCompletionCode", "bmc reply 30 92 c1\n",
                     "IPMI request 30/92 failed: completion code C1 (invalid command)\n", "00\n"},
        ipmi_failure{"TimeoutCompletionCode", "bmc reply 30 92 c3\n",
                     "IPMI request 30/92 failed: completion code C3 (timeout)\n", "00\n"},
        ipmi_failure{"CompletionCodeAlone", "bmc reply 30 92 00\n",
                     "IPMI request 30/92 failed: reply without data\n", "00\n"},
        ipmi_failure{"CompletionCodeAndData", "bmc reply 30 92 00 05 06\n", "", "05\n"},
        ipmi_failure{"SecondNode", "bmc node /dev/ipmi/0\nbmc reply 30 92 00 05\n", "", "05\n"},
        ipmi_failure{"ThirdNode", "bmc node /dev/ipmidev/0\nbmc reply 30 92 00 05\n", "", "05\n"}),
    [](const testing::TestParamInfo<ipmi_failure> &i) { return std::string(i.param.name); });

TEST(PsumonIpmi, NodesAreTriedInOrderWithoutMessages)
{
    run_result r = psumon({}, "pci 00:1c.0 a1108086\nbmc node /dev/ipmidev/0\nbmc reply 30 92 00 05\n");
    EXPECT_EQ(trace_lines(r.trace, "ipmi open"), "ipmi open /dev/ipmi0 O_RDWR -> ENOENT\n"
                                                 "ipmi open /dev/ipmi/0 O_RDWR -> ENOENT\n"
                                                 "ipmi open /dev/ipmidev/0 O_RDWR -> ok\n");
}

TEST(PsumonIpmi, AFailedSendUsesUpItsMessageId)
{
    run_result r = psumon({"-loopex"}, "pci 00:1c.0 a1108086\nbmc reply 30 92 00 01\n"
                                       "bmc fail send EIO on 2\nhalt after-sleeps 0\n");
    EXPECT_EQ(r.err, "Unable to send command: Input/output error\n");
    std::string ids;
    std::stringstream lines(trace_lines(r.trace, "ipmi send"));
    std::string line;
    while (std::getline(lines, line))
        ids += line.substr(0, line.find(' ', 10)) + (line.find("-> EIO") != std::string::npos ? " failed" : "") + "\n";
    EXPECT_EQ(ids, "ipmi send msgid=0\nipmi send msgid=1 failed\nipmi send msgid=2\n");
    EXPECT_NE(r.out.find("init power state is 0x00\n"), std::string::npos);
}

} // namespace
