// psumon's functions in-process, on an appliance loaded per test.
#include "psumon/psumon.h"
#include "appliance.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

void load(const std::string &scenario)
{
    load_appliance(scenario);
    g_bPrintStatus = 1;
    g_bPrintDebugInfo = 0;
}

std::string replace_all(std::string s, const std::string &from, const std::string &to)
{
    for (size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += to.size())
        s.replace(p, from.size(), to);
    return s;
}

// Message ids run on for the whole process; these tests do not depend on them.
std::string ipmi_trace()
{
    std::string t = hwsim_take_trace();
    for (size_t p = 0; (p = t.find("msgid=", p)) != std::string::npos;)
        t.erase(p, t.find(' ', p) + 1 - p);
    return t;
}

TEST(BoardName, EveryTableRowAndTheDefault)
{
    const struct {
        unsigned int id;
        const char *name;
    } rows[] = {
        {0x3B428086, "X8SIE_LN4"}, {0x34068086, "X8DTH"},    {0x3C008086, "X9DRi_F"},
        {0x1D108086, "X9SRW_F"},   {0x2F008086, "X10DRi"},   {0x8D108086, "X10DRL-i"},
        {0x25608086, "P4DPE"},     {0x25788086, "P4SCE"},    {0x27788086, "PDSMI"},
        {0x35908086, "E7520"},     {0x254C8086, "X5DPE_G2"}, {0x036910DE, "H8DAE_2"},
        {0xA1108086, "X11"},
        // not in the table: absent device, zero, vendor alone, halves swapped
        {0xFFFFFFFF, "N/A"},       {0x00000000, "N/A"},      {0x00008086, "N/A"},
        {0x80863B42, "N/A"},       {0x3B438086, "N/A"},
    };
    for (const auto &r : rows)
        EXPECT_STREQ(get_mb_name((int)r.id), r.name) << std::hex << r.id;
}

TEST(BoardIdentifier, ReadThroughConfigurationMechanismOne)
{
    load("pci 00:1c.0 036910de\npci 00:1c.1 11112222\npci 00:1d.0 33334444");
    EXPECT_EQ((unsigned int)get_mboard_id(), 0x036910DEu);
    EXPECT_EQ(hwsim_take_trace(), "lock\noutl 0x0cf8 0x8000e000\noutb 0x0080 0x00\n"
                                  "inl 0x0cfc -> 0x036910de\noutb 0x0080 0xde\nunlock\n");
}

TEST(SuperIoReader, FlagsChooseTheLinesAndTheOrder)
{
    const struct {
        int status, debug;
        const char *out;
    } cases[] = {
        {1, 1, "Function[get_x8sie_ln4_power_state] state= A5\nA5\n"},
        {1, 0, "A5\n"},
        {0, 1, "Function[get_x8sie_ln4_power_state] state= A5\n"},
        {0, 0, ""},
    };
    for (const auto &c : cases) {
        load("superio 2e\nldn 9 e4 a5");
        g_bPrintStatus = c.status;
        g_bPrintDebugInfo = c.debug;
        testing::internal::CaptureStdout();
        EXPECT_EQ(get_x8sie_ln4_power_state(), 165);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
    }
}

TEST(SuperIoReader, EveryReadSendsTheWholeSequenceAgain)
{
    load("superio 2e\nldn 9 e4 00,3c\nldn 8 e4 77");
    EXPECT_EQ(read_logic_device_reg(9, 0xE4), 0x00);
    std::string first = hwsim_take_trace();
    EXPECT_EQ(read_logic_device_reg(9, 0xE4), 0x3C);
    std::string second = hwsim_take_trace();
    EXPECT_EQ(replace_all(second, "0x3c", "0x00"), first);
    EXPECT_EQ(read_logic_device_reg(8, 0xE4), 0x77) << "the logical device selects the register";
}

TEST(SuperIoReader, AChipOnlyAtTheOtherAddressIsNotFound)
{
    load("superio 4e\nldn 9 e4 12");
    EXPECT_EQ(read_logic_device_reg(9, 0xE4), 0xFF);
}

TEST(Dispatch, ThreeIdentifiersHaveReadersOfTheirOwn)
{
    const char *board = "superio 2e\nldn 9 e4 5a\nbmc reply 30 92 00 85\nbmc mwr b2 00 01\nbmc mwr b0 00 00";
    const struct {
        unsigned int id;
        int state;
        const char *out;
    } cases[] = {
        {0xA1108086, 0x85, "85\n"},   {0x3B428086, 0x5A, "5A\n"}, {0x8D108086, 1, "0100\n"},
        {0x34068086, 0x5A, "5A\n"},   {0xFFFFFFFF, 0x5A, "5A\n"},
    };
    for (const auto &c : cases) {
        load(board);
        testing::internal::CaptureStdout();
        EXPECT_EQ(get_power_flag((int)c.id), c.state);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
    }
}

TEST(TripleRead, MasksDisagreementThroughTheAnd)
{
    load("superio 2e\nldn 9 e4 03,01,03");
    g_bPrintStatus = 0;
    g_bPrintDebugInfo = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(get_power_flag_ex(0x3B428086), 0x01);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("warning"), std::string::npos);
}

TEST(TripleRead, WarnsWhenAllThreeDifferOnlyUnderTheDebugFlag)
{
    for (int debug : {1, 0}) {
        load("superio 2e\nldn 9 e4 07,03,01");
        g_bPrintStatus = 0;
        g_bPrintDebugInfo = debug;
        testing::internal::CaptureStdout();
        EXPECT_EQ(get_power_flag_ex(0x3B428086), 0x01);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  debug ? "Function[get_x8sie_ln4_power_state] state= 07\n"
                          "Function[get_x8sie_ln4_power_state] state= 03\n"
                          "Function[get_x8sie_ln4_power_state] state= 01\n"
                          "warning, 07, 03, 01\n"
                        : "");
    }
}

TEST(TripleRead, ReadsSixTimesOnTheTwoSupplyBoard)
{
    load("bmc mwr b2 00 01\nbmc mwr b0 00 00");
    g_bPrintStatus = 0;
    EXPECT_EQ(get_power_flag_ex(0x8D108086), 1);
    std::string t = hwsim_take_trace();
    size_t opens = 0;
    for (size_t p = 0; (p = t.find("ipmi open", p)) != std::string::npos; p++)
        opens++;
    EXPECT_EQ(opens, 6u);
}

struct transaction_case {
    const char *reply;
    int result, ccode, reply_len;
    unsigned char first;
    const char *err;
};

TEST(IpmiSendCmd, RepliesAndTheirResults)
{
    const transaction_case cases[] = {
        {"00 01", 1, 0x00, 1, 0x01, ""},
        {"00 01 02 03", 1, 0x00, 3, 0x01, ""},
        {"c1", 0, 0xC1, 0, 0xC1, "IPMI request 30/92 failed: completion code C1 (invalid command)\n"},
        {"00", 0, 0x00, 0, 0x00, "IPMI request 30/92 failed: reply without data\n"},
        // The buffer keeps the completion code in front.
        {"d5 44", 0, 0xD5, 1, 0xD5, "IPMI request 30/92 failed: completion code D5 (not supported in present state)\n"},
        // Master Write-Read's own codes are no names for other requests.
        {"83", 0, 0x83, 0, 0x83, "IPMI request 30/92 failed: completion code 83\n"},
        {"00 7f 00*38", 1, 0x00, 31, 0x7F, "Error receiving message: Message too long\n"},
    };
    for (const auto &c : cases) {
        load(std::string("bmc reply 30 92 ") + c.reply);
        unsigned char reply[32];
        ipmi_transaction t = {0x30, 0, 0x92, nullptr, 0, -1, reply, 32};
        int fd = ipmi_open();
        ASSERT_GE(fd, 0);
        testing::internal::CaptureStderr();
        EXPECT_EQ(ipmi_send_cmd(fd, &t), c.result) << c.reply;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
        EXPECT_EQ(t.ccode, c.ccode) << c.reply;
        EXPECT_EQ(t.reply_len, c.reply_len) << c.reply;
        EXPECT_EQ(reply[0], c.first) << c.reply;
        ipmi_close(fd);
    }
}

TEST(IpmiSendCmd, FailedSendAndWaitGiveTheNegatedErrorNumber)
{
    const struct {
        const char *fault;
        int result;
        const char *err;
    } cases[] = {
        {"send EIO", -EIO, "Unable to send command: Input/output error\n"},
        {"select EINTR", -EINTR, "I/O Error: Interrupted system call\n"},
        {"receive EIO", 0, "Error receiving message: Input/output error\n"},
    };
    for (const auto &c : cases) {
        load(std::string("bmc reply 30 92 00 01\nbmc fail ") + c.fault);
        unsigned char reply[32];
        ipmi_transaction t = {0x30, 0, 0x92, nullptr, 0, -1, reply, 32};
        int fd = ipmi_open();
        testing::internal::CaptureStderr();
        EXPECT_EQ(ipmi_send_cmd(fd, &t), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
        EXPECT_EQ(t.ccode, -1) << "no reply was received";
        ipmi_close(fd);
    }
}

TEST(IpmiProcessRequest, AddressRecordFollowsTheTarget)
{
    load("bmc reply 06 01 00 20");
    unsigned char result = 0;
    EXPECT_EQ(ipmi_process_request(0x06, 2, 0x01, nullptr, 0, &result), 0);
    EXPECT_EQ(ipmi_process_request(0x06, -0x2C, 0x01, nullptr, 0, &result), 0);
    EXPECT_EQ(ipmi_process_request(0x06, -0x120, 0x01, nullptr, 0, &result), 0);
    EXPECT_EQ(result, 0x20);
    std::string sends;
    std::string t = ipmi_trace();
    for (size_t p = 0; (p = t.find("ipmi send ", p)) != std::string::npos; p = t.find('\n', p))
        sends += t.substr(p, t.find(" netfn", p) - p) + "\n";
    EXPECT_EQ(sends, "ipmi send addr=type:0c,channel:0f,lun:02 addrlen=8\n"
                     "ipmi send addr=type:01,channel:0c,slave:2c,lun:00 addrlen=8\n"
                     "ipmi send addr=type:01,channel:00,slave:20,lun:00 addrlen=8\n");
}

TEST(IpmiProcessRequest, OpenFailureLeavesTheResultByteUnwritten)
{
    load("bmc reply 30 92 00 05\nbmc fail events EBUSY");
    unsigned char result = 0x5A;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ipmi_process_request(0x30, 0, 0x92, nullptr, 0, &result), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Could not enable event receiver: Device or resource busy\n");
    EXPECT_EQ(result, 0x5A);
    EXPECT_EQ(ipmi_trace(), "ipmi open /dev/ipmi0 O_RDWR -> ok\nipmi events 0 -> EBUSY\nipmi close\n");

    load("");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ipmi_process_request(0x30, 0, 0x92, nullptr, 0, &result), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Could not open ipmi device: No such file or directory\n");
    EXPECT_EQ(result, 0x5A);
}

TEST(IpmiProcessRequest, FailuresAfterOpeningGiveZero)
{
    load("bmc reply 30 92 00 05\nbmc fail send EIO");
    unsigned char result = 0x5A;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ipmi_process_request(0x30, 0, 0x92, nullptr, 0, &result), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0);
}

TEST(IpmiReaders, NoDeviceGivesStateZero)
{
    for (int (*reader)() : {get_x11ds_power_state, get_x9ds_power_state, get_x10drli_power_state}) {
        load("");
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(reader(), 0);
        std::string out = testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(out == "00\n" || out == "0000\n") << out;
    }
}

TEST(IpmiReaders, X9dsDiffersOnlyInItsName)
{
    load("bmc reply 30 92 00 85");
    g_bPrintDebugInfo = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(get_x9ds_power_state(), 0x85);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Function[get_x9ds_power_state] state= 85\n85\n");
}

} // namespace
