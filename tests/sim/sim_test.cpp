// The simulated appliance against the behaviour of the hardware it stands for.
#include "platform/delay.h"
#include "platform/ipmidev.h"
#include "platform/portio.h"
#include "appliance.h"
#include "sim/hwsim.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>

namespace {

void load(const std::string &scenario) { load_appliance(scenario); }

std::string load_error(const std::string &scenario)
{
    std::string error;
    EXPECT_FALSE(hwsim_load(scenario, error));
    return error;
}

TEST(PortSpace, UnclaimedPortsReadAllOnesAndSwallowWrites)
{
    load("");
    io_outb(0x12, 0x300);
    EXPECT_EQ(io_inb(0x300), 0xFF);
    EXPECT_EQ(io_inw(0x300), 0xFFFF);
    EXPECT_EQ(io_inl(0xFFFE), 0xFFFFFFFFu);
}

TEST(PortSpace, PausingFormsWriteTheLowByteToPort80)
{
    load("latch 378 5a");
    io_outw_p(0x1234, 0x500);
    EXPECT_EQ(io_inb_p(0x378), 0x5A);
    EXPECT_EQ(hwsim_take_trace(), "outw 0x0500 0x1234\noutb 0x0080 0x34\n"
                                  "inb 0x0378 -> 0x5a\noutb 0x0080 0x5a\n");
}

TEST(PciConfiguration, IdentifiesPresentFunctionsOnly)
{
    load("pci 00:1c.0 3b428086\npci 00:1c.0 08 06040001");
    io_outl(0x8000E000, 0xCF8);
    EXPECT_EQ(io_inl(0xCFC), 0x3B428086u);
    EXPECT_EQ(io_inw(0xCFE), 0x3B42) << "the device ID through the upper half of the window";
    EXPECT_EQ(io_inb(0xCFC), 0x86);
    io_outl(0x8000E008, 0xCF8);
    EXPECT_EQ(io_inl(0xCFC), 0x06040001u);
    io_outl(0x8000E004, 0xCF8);
    EXPECT_EQ(io_inl(0xCFC), 0u) << "an unset register of a present function";
    io_outl(0x8000E100, 0xCF8);
    EXPECT_EQ(io_inl(0xCFC), 0xFFFFFFFFu) << "function 1 is absent";
    io_outl(0x0000E000, 0xCF8);
    EXPECT_EQ(io_inl(0xCFC), 0xFFFFFFFFu) << "without the enable bit";
    EXPECT_EQ(io_inl(0xCF8), 0x0000E000u);
}

TEST(SuperIo, FollowsTheConfigurationModeProtocol)
{
    load("superio 2e\nreg 20 52\nldn 9 e4 a5\nldn 9 30 01");
    EXPECT_EQ(io_inb(0x2F), 0xFF) << "silent before the key";
    io_outb(0x20, 0x2E);
    io_outb(0x87, 0x2E);
    io_outb(0x87, 0x2E);
    EXPECT_EQ(io_inb(0x2F), 0x00) << "the index written before the key was ignored";
    io_outb(0x20, 0x2E);
    EXPECT_EQ(io_inb(0x2F), 0x52);
    EXPECT_EQ(io_inb(0x2E), 0x20) << "the address register reads back the index";
    io_outb(0x07, 0x2E);
    io_outb(0x09, 0x2F);
    io_outb(0xE4, 0x2E);
    EXPECT_EQ(io_inb(0x2F), 0xA5);
    io_outb(0x07, 0x2E);
    EXPECT_EQ(io_inb(0x2F), 0x09);
    io_outb(0xAA, 0x2E);
    EXPECT_EQ(io_inb(0x2F), 0xFF) << "the exit key ends configuration mode";
    EXPECT_EQ(io_inb(0x2E), 0xFF);
}

TEST(SuperIo, ResetThroughConfigurationControlReturnsToWaitForKey)
{
    load("superio 4e key 87,01,55,55\nreg 20 87");
    for (unsigned char b : {0x87, 0x87, 0x01, 0x55, 0x55})   // a false start, then the whole key
        io_outb(b, 0x4E);
    io_outb(0x20, 0x4E);
    EXPECT_EQ(io_inb(0x4F), 0x87);
    io_outb(0x02, 0x4E);
    io_outb(0x02, 0x4F);
    EXPECT_EQ(io_inb(0x4F), 0xFF);
}

TEST(SuperIo, WritesStickAndScriptsRunInTurn)
{
    load("superio 2e\nldn 9 e4 01,02\nhalt when-done");
    auto read = [] {
        io_outb(0x87, 0x2E);
        io_outb(0x87, 0x2E);
        io_outb(0x07, 0x2E);
        io_outb(0x09, 0x2F);
        io_outb(0xE4, 0x2E);
        unsigned char v = io_inb(0x2F);
        io_outb(0xAA, 0x2E);
        return v;
    };
    EXPECT_EQ(read(), 0x01);
    EXPECT_EQ(read(), 0x02);
    EXPECT_EQ(read(), 0x02);
    EXPECT_NE(hwsim_state().find("ldn 0x09 0xe4 0x02"), std::string::npos) << hwsim_state();
}

TEST(IndexedChip, BanksAndAddressReadback)
{
    load("indexed 295 296 bank 4e\nreg 40 11\nreg 1:40 22\nreg 2:40 33");
    io_outb(0x40, 0x295);
    EXPECT_EQ(io_inb(0x296), 0x11);
    EXPECT_EQ(io_inb(0x295), 0x40);
    io_outb(0x4E, 0x295);
    io_outb(0x01, 0x296);
    EXPECT_EQ(io_inb(0x296), 0x01);
    io_outb(0x40, 0x295);
    EXPECT_EQ(io_inb(0x296), 0x22);
    io_outb(0x77, 0x296);
    io_outb(0x4E, 0x295);
    io_outb(0x02, 0x296);
    io_outb(0x40, 0x295);
    EXPECT_EQ(io_inb(0x296), 0x33);
    io_outb(0x4E, 0x295);
    io_outb(0x01, 0x296);
    io_outb(0x40, 0x295);
    EXPECT_EQ(io_inb(0x296), 0x77);

    load("indexed c00 c01 addr-reads 80\nfill 5a");
    io_outb(0x00, 0xC00);
    EXPECT_EQ(io_inb(0xC00), 0x80);
    EXPECT_EQ(io_inb(0xC01), 0x5A);
}

TEST(IndexedChip, TheBankRegisterLineSelectsTheStartingBank)
{
    load("indexed 295 296 bank 4e\nreg 1:40 22\nreg 4e 01");
    io_outb(0x40, 0x295);
    EXPECT_EQ(io_inb(0x296), 0x22);
    io_outb(0x4E, 0x295);
    EXPECT_EQ(io_inb(0x296), 0x01);
}

// A run's final state, taken as the next run's scenario, gives the same chips
// with the registers as the first run left them.
TEST(State, ReloadsAsTheScenarioOfALaterRun)
{
    load("superio 4e key 87,01,55,55\nfill 5a\nreg 21 52\n"
         "indexed 295 296 bank 4e addr-reads 80 wide\nfill 11\nreg 1:40 22\nreg 1:41 33\n"
         "latch 378 00");
    io_outb(0x4E, 0x295);
    io_outb(0x01, 0x296);
    io_outb(0x42, 0x295);
    io_outb(0x44, 0x296);
    io_outb(0x5A, 0x378);
    io_outb(0x00, 0x295);   // the index is no register: a later run starts at 0
    std::string state = hwsim_state();
    load(state);
    EXPECT_EQ(hwsim_state(), state);

    for (unsigned char b : {0x87, 0x01, 0x55, 0x55})
        io_outb(b, 0x4E);
    io_outb(0x21, 0x4E);
    EXPECT_EQ(io_inb(0x4F), 0x52) << "entered with the chip's own key";
    io_outb(0x30, 0x4E);
    EXPECT_EQ(io_inb(0x4F), 0x5A) << "the fill value";
    io_outb(0x00, 0x295);
    EXPECT_EQ(io_inb(0x295), 0x80) << "the address register's read-back";
    io_outb(0x40, 0x295);
    EXPECT_EQ(io_inw(0x296), 0x3322) << "bank 1 still selected, wide accesses";
    io_outb(0x42, 0x295);
    EXPECT_EQ(io_inw(0x296), 0x1144) << "the written register, and the fill value beside it";
    EXPECT_EQ(io_inb(0x378), 0x5A);
}

TEST(IndexedChip, WideDataAccessesReachConsecutiveRegisters)
{
    load("indexed 2e 2f wide\nreg 10 34\nreg 11 12\nreg 12 78\nreg 13 56");
    io_outb(0x10, 0x2E);
    EXPECT_EQ(io_inw(0x2F), 0x1234);
    EXPECT_EQ(io_inl(0x2F), 0x56781234u);
    io_outw(0xBEEF, 0x2F);
    EXPECT_EQ(io_inb(0x2F), 0xEF);

    load("indexed 2e 2f\nreg 10 34\nlatch 30 99");
    io_outb(0x10, 0x2E);
    EXPECT_EQ(io_inw(0x2F), 0x9934) << "a narrow chip: the high byte comes from the next port";
}

TEST(PlainPorts, LatchesKeepWritesAndInputsIgnoreThem)
{
    load("latch 2f8-2ff 00\ninput 2f 5a,5b");
    io_outb(0x0B, 0x2FC);
    EXPECT_EQ(io_inb(0x2FC), 0x0B);
    EXPECT_EQ(io_inb(0x2FF), 0x00);
    io_outb(0x11, 0x2F);
    EXPECT_EQ(io_inb(0x2F), 0x5A);
    EXPECT_EQ(io_inb(0x2F), 0x5B);
    EXPECT_EQ(io_inb(0x2F), 0x5B);
}

TEST(Privilege, IoplAndIopermAsTheKernelGrantsThem)
{
    std::string error;
    ASSERT_TRUE(hwsim_load("iopl deny ENOSYS\nioperm deny 2e", error));
    errno = 0;
    EXPECT_EQ(io_iopl(3), -1);
    EXPECT_EQ(errno, ENOSYS);
    EXPECT_EQ(io_ioperm(0x2F, 1, 1), 0);
    EXPECT_EQ(io_ioperm(0x2E, 1, 1), -1);
    EXPECT_EQ(errno, EPERM);
    EXPECT_EQ(io_ioperm(0x3FF, 1, 1), 0);
    EXPECT_EQ(io_ioperm(0x400, 1, 1), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(io_ioperm(0x3FF, 2, 1), -1);
    EXPECT_EQ(hwsim_take_trace(), "iopl 3 -> ENOSYS\nioperm 0x002f 1 1 -> ok\nioperm 0x002e 1 1 -> EPERM\n"
                                  "ioperm 0x03ff 1 1 -> ok\nioperm 0x0400 1 1 -> EINVAL\n"
                                  "ioperm 0x03ff 2 1 -> EINVAL\n");
    EXPECT_EQ(io_inb(0x2F), 0xFF) << "a port opened with ioperm";
}

TEST(PrivilegeDeathTest, APortAccessWithoutPrivilegeEndsTheProcess)
{
    std::string error;
    ASSERT_TRUE(hwsim_load("ioperm limit ffff", error));
    EXPECT_EXIT(io_inb(0x2E), testing::KilledBySignal(SIGSEGV), "");
    ASSERT_EQ(io_ioperm(0x2E, 1, 1), 0);
    EXPECT_EXIT(io_inw(0x2E), testing::KilledBySignal(SIGSEGV), "") << "0x2f is not open";
    ASSERT_EQ(io_ioperm(0x2E, 1, 0), 0);
    EXPECT_EXIT(io_outb(0, 0x2E), testing::KilledBySignal(SIGSEGV), "") << "the permission was dropped";
}

TEST(Halting, ASleepBeyondTheScenarioEndsTheProcessLikeAKill)
{
    load("halt after-sleeps 2");
    delay_us(1);
    delay_us(1);
    EXPECT_EXIT(delay_us(1), testing::KilledBySignal(SIGTERM), "");
    load("input 2f 01,02\nhalt when-done");
    io_inb(0x2F);
    delay_us(1);
    io_inb(0x2F);
    EXPECT_EXIT(delay_us(1), testing::KilledBySignal(SIGTERM), "");
}

int bmc_request(int fd, ipmi_req &req, unsigned char netfn, unsigned char cmd, unsigned char *data,
                unsigned short len)
{
    static ipmi_system_interface_addr bmc = {IPMI_SYSTEM_INTERFACE_ADDR_TYPE, IPMI_BMC_CHANNEL, 0};
    req = {};
    req.addr = (unsigned char *)&bmc;
    req.addr_len = sizeof bmc;
    req.msg.netfn = netfn;
    req.msg.cmd = cmd;
    req.msg.data = data;
    req.msg.data_len = len;
    return ipmidev_ioctl(fd, IPMICTL_SEND_COMMAND, &req);
}

TEST(Bmc, AnswersLikeTheDriver)
{
    load("bmc reply 30 92 00 05 | 00 07\nbmc mwr b2 00 40\nbmc default c0\n");
    int fd = ipmidev_open("/dev/ipmi0", O_RDWR);
    ASSERT_GE(fd, 0);
    ipmi_req req;
    unsigned char mwr[4] = {0x07, 0xB2, 0x01, 0x79};
    unsigned char reply[3], source[40];
    ipmi_recv recv;
    auto receive = [&] {
        recv.addr = source;
        recv.addr_len = sizeof source;
        recv.msg.data = reply;
        recv.msg.data_len = sizeof reply;
        return ipmidev_ioctl(fd, IPMICTL_RECEIVE_MSG_TRUNC, &recv);
    };
    errno = 0;
    EXPECT_EQ(receive(), -1) << "nothing pending";
    EXPECT_EQ(errno, EAGAIN);

    const struct {
        unsigned char netfn, cmd;
        unsigned char *data;
        unsigned short len;
        std::vector<unsigned char> answer;
    } exchanges[] = {
        {0x30, 0x92, nullptr, 0, {0x00, 0x05}}, {0x30, 0x92, nullptr, 0, {0x00, 0x07}},
        {0x30, 0x92, nullptr, 0, {0x00, 0x07}}, {0x06, 0x52, mwr, 4, {0x00, 0x40}},
        {0x06, 0x01, nullptr, 0, {0xC0}},
    };
    for (const auto &x : exchanges) {
        ASSERT_EQ(bmc_request(fd, req, x.netfn, x.cmd, x.data, x.len), 0);
        fd_set r;
        FD_ZERO(&r);
        FD_SET(fd, &r);
        EXPECT_EQ(ipmidev_select(fd + 1, &r, nullptr, nullptr, nullptr), 1);
        ASSERT_EQ(receive(), 0);
        EXPECT_EQ(recv.recv_type, IPMI_RESPONSE_RECV_TYPE);
        EXPECT_EQ(recv.msg.netfn, x.netfn | 1);
        EXPECT_EQ(std::vector<unsigned char>(reply, reply + recv.msg.data_len), x.answer);
    }
    mwr[1] = 0xB0;
    ASSERT_EQ(bmc_request(fd, req, 0x06, 0x52, mwr, 4), 0);
    ASSERT_EQ(receive(), 0);
    EXPECT_EQ(reply[0], 0xC0) << "no rule for the supply at 0xB0";

    load("bmc reply 30 92 00 01 02 03 04");
    fd = ipmidev_open("/dev/ipmi0", O_RDWR);
    ASSERT_EQ(bmc_request(fd, req, 0x30, 0x92, nullptr, 0), 0);
    EXPECT_EQ(receive(), -1);
    EXPECT_EQ(errno, EMSGSIZE);
    EXPECT_EQ(recv.msg.data_len, 3) << "cut to the buffer";
    EXPECT_EQ(reply[2], 0x02);
    EXPECT_EQ(ipmidev_close(fd), 0);
}

TEST(Bmc, NodesAndInjectedFaults)
{
    load("bmc node /dev/ipmi/0\nbmc fail open EACCES on 2\nbmc fail send EIO on 2");
    EXPECT_EQ(ipmidev_open("/dev/ipmi0", O_RDWR), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(ipmidev_open("/dev/ipmi/0", O_RDWR), -1) << "the second open fails";
    EXPECT_EQ(errno, EACCES);
    int fd = ipmidev_open("/dev/ipmi/0", O_RDWR);
    ASSERT_GE(fd, 0);
    ipmi_req req;
    EXPECT_EQ(bmc_request(fd, req, 0x30, 0x92, nullptr, 0), 0);
    EXPECT_EQ(bmc_request(fd, req, 0x30, 0x92, nullptr, 0), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(bmc_request(fd, req, 0x30, 0x92, nullptr, 0), 0);
    ipmidev_close(fd);
}

TEST(BmcDeathTest, ASelectThatWouldWaitForEverStopsTheRun)
{
    load("bmc reply 30 92 00 01");
    int fd = ipmidev_open("/dev/ipmi0", O_RDWR);
    fd_set r;
    FD_ZERO(&r);
    FD_SET(fd, &r);
    EXPECT_EXIT(ipmidev_select(fd + 1, &r, nullptr, nullptr, nullptr), testing::ExitedWithCode(125),
                "would wait for ever");
}

TEST(Scenario, MalformedLinesAreNamed)
{
    EXPECT_EQ(load_error("pci 00:1c.0 3b428086\nreg 10 20\n"), "line 2: 'reg' needs a superio or indexed chip before it");
    EXPECT_EQ(load_error("superio 2e\nldn 9 e4 1g\n"), "line 2: bad values '1g'");
    EXPECT_EQ(load_error("superio 2e\nldn 9 e4 01,\n"), "line 2: bad values '01,'");
    EXPECT_EQ(load_error("latch 300 100"), "line 1: bad values '100'");
    EXPECT_EQ(load_error("bmc fail open ENOTANERROR"), "line 1: bad 'bmc' line");
    EXPECT_EQ(load_error("bmc reply 30 92 00 | "), "line 1: bad 'bmc' line");
    EXPECT_EQ(load_error("frobnicate"), "line 1: unknown or malformed 'frobnicate' line");
    EXPECT_EQ(load_error("# fine\n\nhalt after-sleeps x"), "line 3: unknown or malformed 'halt' line");
}

} // namespace
