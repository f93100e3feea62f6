// psumon: identifies the server board and reads, prints or watches the state
// of its power supplies.
//
// The board identifier is the vendor/device dword of PCI device 00:1C.0.  It
// picks the board's power reader: a Super-I/O configuration register, an OEM
// request to the BMC, or the status bytes of the two supplies read through
// the BMC's private bus.
#include "psumon/psumon.h"

#include "platform/delay.h"
#include "platform/ipmidev.h"
#include "platform/portio.h"
#include "platform/portlock.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>
#include <sys/select.h>

int g_bPrintStatus = 1;
int g_bPrintDebugInfo = 0;

// Every line goes out at once: a watch loop ends only when it is killed, and
// a line still sitting in the buffer then would be lost.
static void say(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
static void say(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    fflush(stdout);
}

// The kit's port lock around each sequence of port accesses that must not be
// cut.  A read goes on without it when it cannot be had, after saying so, so
// that no reading taken without it passes unremarked.
static int lock_ports()
{
    char why[320];
    if (port_lock(why, sizeof why) == 0)
        return 1;
    fprintf(stderr, "Warning: %s, reading without it\n", why);
    return 0;
}

static void unlock_ports(int held)
{
    if (held)
        port_unlock();
}

// ---- Board identification ------------------------------------------------

static const unsigned short PCI_CONFIG_ADDRESS = 0xCF8;
static const unsigned short PCI_CONFIG_DATA = 0xCFC;

static const struct {
    unsigned int id;
    const char *name;
} board_names[] = {
    {0x3B428086, "X8SIE_LN4"}, {0x34068086, "X8DTH"},    {0x3C008086, "X9DRi_F"},
    {0x1D108086, "X9SRW_F"},   {0x2F008086, "X10DRi"},   {0x8D108086, "X10DRL-i"},
    {0x25608086, "P4DPE"},     {0x25788086, "P4SCE"},    {0x27788086, "PDSMI"},
    {0x35908086, "E7520"},     {0x254C8086, "X5DPE_G2"}, {0x036910DE, "H8DAE_2"},
    {0xA1108086, "X11"},
};

static unsigned int pci_config_address(unsigned bus, unsigned device, unsigned function, unsigned reg)
{
    return 0x80000000u | bus << 16 | device << 11 | function << 8 | reg;
}

int get_mboard_id()
{
    int held = lock_ports();
    io_outl_p(pci_config_address(0, 0x1C, 0, 0), PCI_CONFIG_ADDRESS);
    int id = (int)io_inl_p(PCI_CONFIG_DATA);
    unlock_ports(held);
    return id;
}

const char *get_mb_name(int id)
{
    for (const auto &b : board_names)
        if (b.id == (unsigned int)id)
            return b.name;
    return "N/A";
}

// ---- Super-I/O power reader ------------------------------------------------

static const unsigned short SIO_INDEX = 0x2E;
static const unsigned short SIO_DATA = 0x2F;
static const unsigned char SIO_ENTRY_KEY = 0x87;
static const unsigned char SIO_EXIT_KEY = 0xAA;
static const unsigned char SIO_LDN_SELECT = 0x07;
static const unsigned int SIO_SETTLE_US = 10000;

unsigned char read_logic_device_reg(unsigned char device, unsigned char reg)
{
    int held = lock_ports();
    io_outb_p(SIO_ENTRY_KEY, SIO_INDEX);
    io_outb_p(SIO_ENTRY_KEY, SIO_INDEX);
    io_outb_p(SIO_LDN_SELECT, SIO_INDEX);
    io_outb_p(device, SIO_DATA);
    delay_us(SIO_SETTLE_US);
    io_outb_p(reg, SIO_INDEX);
    delay_us(SIO_SETTLE_US);
    unsigned char value = io_inb_p(SIO_DATA);
    io_outb_p(SIO_EXIT_KEY, SIO_INDEX);
    unlock_ports(held);
    return value;
}

static void print_state(const char *reader, unsigned char state)
{
    if (g_bPrintDebugInfo)
        say("Function[%s] state= %02X\n", reader, state);
    if (g_bPrintStatus)
        say("%02X\n", state);
}

int get_x8sie_ln4_power_state()
{
    unsigned char state = read_logic_device_reg(0x09, 0xE4);
    print_state("get_x8sie_ln4_power_state", state);
    return state;
}

// ---- IPMI request channel --------------------------------------------------

static const char *const ipmi_nodes[] = {"/dev/ipmi0", "/dev/ipmi/0", "/dev/ipmidev/0"};
static const int IPMI_REPLY_CAPACITY = 32;

int ipmi_open()
{
    int fd = -1;
    int err = ENOENT;
    for (const char *node : ipmi_nodes) {
        fd = ipmidev_open(node, O_RDWR);
        if (fd >= 0)
            break;
        err = errno;
    }
    if (fd < 0) {
        errno = err;
        perror("Could not open ipmi device");
        return -err;
    }
    int receive_events = 0;
    if (ipmidev_ioctl(fd, IPMICTL_SET_GETS_EVENTS_CMD, &receive_events) < 0) {
        err = errno;
        ipmidev_close(fd);
        errno = err;
        perror("Could not enable event receiver");
        return -err;
    }
    return fd;
}

void ipmi_close(int fd)
{
    if (fd >= 0)
        ipmidev_close(fd);
}

struct completion_code_name {
    unsigned char code;
    const char *name;
};

static const completion_code_name completion_code_names[] = {
    {0xC0, "node busy"},
    {0xC1, "invalid command"},
    {0xC2, "command invalid for this LUN"},
    {0xC3, "timeout"},
    {0xC4, "out of space"},
    {0xC5, "reservation cancelled or invalid"},
    {0xC6, "request data truncated"},
    {0xC7, "request data length invalid"},
    {0xC8, "request data field length limit exceeded"},
    {0xC9, "parameter out of range"},
    {0xCA, "cannot return the number of requested data bytes"},
    {0xCB, "requested sensor, data or record not present"},
    {0xCC, "invalid data field in request"},
    {0xCD, "command illegal for this sensor or record type"},
    {0xCE, "command response could not be provided"},
    {0xCF, "duplicated request"},
    {0xD0, "SDR repository in update mode"},
    {0xD1, "device in firmware update mode"},
    {0xD2, "BMC initialization in progress"},
    {0xD3, "destination unavailable"},
    {0xD4, "insufficient privilege level"},
    {0xD5, "not supported in present state"},
    {0xD6, "sub-function disabled"},
    {0xFF, "unspecified error"},
};

// The codes of Master Write-Read, from the bus behind the BMC.
static const completion_code_name master_write_read_code_names[] = {
    {0x81, "lost arbitration"},
    {0x82, "bus error"},
    {0x83, "NAK on write"},
    {0x84, "truncated read"},
};

static const int NETFN_APP = 0x06;
static const int CMD_MASTER_WRITE_READ = 0x52;

static const char *completion_code_name(const struct ipmi_transaction *t, int code)
{
    for (const auto &c : completion_code_names)
        if (c.code == code)
            return c.name;
    if ((t->netfn & 0xFF) == NETFN_APP && (t->cmd & 0xFF) == CMD_MASTER_WRITE_READ)
        for (const auto &c : master_write_read_code_names)
            if (c.code == code)
                return c.name;
    return nullptr;
}

// Names a request that was answered but gave no data byte, in one line:
// "IPMI request 06/52 (07 B2 01 79) failed: completion code 83 (NAK on write)".
static void report_unusable_reply(const struct ipmi_transaction *t)
{
    char line[256];
    size_t n = (size_t)snprintf(line, sizeof line, "IPMI request %02X/%02X", t->netfn & 0xFF, t->cmd & 0xFF);
    int data_len = t->data ? t->data_len & 0xFFFF : 0;
    for (int i = 0; i < data_len && i < 16; i++)
        n += (size_t)snprintf(line + n, sizeof line - n, i ? " %02X" : " (%02X", t->data[i]);
    if (data_len > 16)
        n += (size_t)snprintf(line + n, sizeof line - n, " ...");
    if (data_len > 0)
        n += (size_t)snprintf(line + n, sizeof line - n, ")");
    if (t->reply_len < 0)
        snprintf(line + n, sizeof line - n, " failed: empty reply\n");
    else if (t->ccode == 0)
        snprintf(line + n, sizeof line - n, " failed: reply without data\n");
    else if (const char *name = completion_code_name(t, t->ccode))
        snprintf(line + n, sizeof line - n, " failed: completion code %02X (%s)\n", t->ccode, name);
    else
        snprintf(line + n, sizeof line - n, " failed: completion code %02X\n", t->ccode);
    fputs(line, stderr);
}

int ipmi_send_cmd(int fd, struct ipmi_transaction *t)
{
    static int curr_seq = 0;
    struct ipmi_system_interface_addr bmc_addr;
    struct ipmi_ipmb_addr ipmb_addr;
    struct ipmi_req req;

    memset(&req, 0, sizeof req);
    if (t->target >= 0) {
        memset(&bmc_addr, 0, sizeof bmc_addr);
        bmc_addr.addr_type = IPMI_SYSTEM_INTERFACE_ADDR_TYPE;
        bmc_addr.channel = IPMI_BMC_CHANNEL;
        bmc_addr.lun = (unsigned char)t->target;
        req.addr = (unsigned char *)&bmc_addr;
    } else {
        unsigned int slave = 0u - (unsigned int)t->target;
        memset(&ipmb_addr, 0, sizeof ipmb_addr);
        ipmb_addr.addr_type = IPMI_IPMB_ADDR_TYPE;
        ipmb_addr.channel = (short)(slave & 0x0F);
        ipmb_addr.slave_addr = (unsigned char)slave;
        ipmb_addr.lun = 0;
        req.addr = (unsigned char *)&ipmb_addr;
    }
    req.addr_len = sizeof(struct ipmi_system_interface_addr);
    req.msgid = curr_seq;
    curr_seq = (int)((unsigned int)curr_seq + 1u);
    req.msg.netfn = (unsigned char)t->netfn;
    req.msg.cmd = (unsigned char)t->cmd;
    req.msg.data_len = (unsigned short)t->data_len;
    req.msg.data = t->data;

    if (ipmidev_ioctl(fd, IPMICTL_SEND_COMMAND, &req) < 0) {
        int err = errno;
        perror("Unable to send command");
        return -err;
    }

    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    if (ipmidev_select(fd + 1, &readable, NULL, NULL, NULL) < 0) {
        int err = errno;
        perror("I/O Error");
        return -err;
    }

    unsigned char source[sizeof(struct ipmi_addr)];
    struct ipmi_recv recv;
    recv.addr = source;
    recv.addr_len = sizeof source;
    recv.msg.data = t->reply;
    recv.msg.data_len = (unsigned short)t->reply_len;
    if (ipmidev_ioctl(fd, IPMICTL_RECEIVE_MSG_TRUNC, &recv) < 0) {
        int err = errno;
        perror("Error receiving message");
        if (err != EMSGSIZE)
            return 0;
    }

    t->ccode = t->reply[0];
    t->reply_len = recv.msg.data_len - 1;
    if (t->ccode == 0 && t->reply_len > 0) {
        memmove(t->reply, t->reply + 1, (size_t)t->reply_len);
        return 1;
    }
    report_unusable_reply(t);
    return 0;
}

int ipmi_process_request(int netfn, int target, int cmd, unsigned char *data, int data_len,
                         unsigned char *result)
{
    int fd = ipmi_open();
    if (fd < 0)
        return -1;
    // Cleared so that a reply without even a completion code reads as a failure.
    unsigned char reply[IPMI_REPLY_CAPACITY] = {0};
    struct ipmi_transaction t = {netfn, target, cmd, data, data_len, -1, reply, IPMI_REPLY_CAPACITY};
    *result = ipmi_send_cmd(fd, &t) > 0 ? reply[0] : 0;
    ipmi_close(fd);
    return 0;
}

// ---- IPMI power readers ----------------------------------------------------

static const int NETFN_OEM = 0x30;
static const int CMD_OEM_POWER_STATE = 0x92;
static const int BMC_LUN0 = 0;

// A failed request leaves its byte 0, also when the device cannot be opened.
static unsigned char oem_power_state(const char *reader)
{
    unsigned char state = 0;
    ipmi_process_request(NETFN_OEM, BMC_LUN0, CMD_OEM_POWER_STATE, NULL, 0, &state);
    print_state(reader, state);
    return state;
}

int get_x11ds_power_state() { return oem_power_state("get_x11ds_power_state"); }

int get_x9ds_power_state() { return oem_power_state("get_x9ds_power_state"); }

int get_x10drli_power_state()
{
    // Private bus 3 (bus ID 0x07), supply address, read one byte, after
    // writing the PMBus STATUS_WORD command code.
    unsigned char request[4] = {0x07, 0xB2, 0x01, 0x79};
    unsigned char first = 0, second = 0;
    ipmi_process_request(NETFN_APP, BMC_LUN0, CMD_MASTER_WRITE_READ, request, 4, &first);
    request[1] = 0xB0;
    ipmi_process_request(NETFN_APP, BMC_LUN0, CMD_MASTER_WRITE_READ, request, 4, &second);
    if (g_bPrintDebugInfo)
        say("Function[%s] state= %02X|%02X\n", "get_x10drli_power_state", first, second);
    if (g_bPrintStatus)
        say("%02X%02X\n", first, second);
    return first || second ? 1 : 0;
}

// ---- Dispatch and run modes ------------------------------------------------

static const struct {
    unsigned int id;
    int (*reader)();
} board_readers[] = {
    {0xA1108086, get_x11ds_power_state},
    {0x3B428086, get_x8sie_ln4_power_state},
    {0x8D108086, get_x10drli_power_state},
};

int get_power_flag(int id)
{
    for (const auto &b : board_readers)
        if (b.id == (unsigned int)id)
            return b.reader() & 0xFF;
    return get_x8sie_ln4_power_state() & 0xFF;
}

int get_power_flag_ex(int id)
{
    int first = get_power_flag(id);
    int second = get_power_flag(id);
    int third = get_power_flag(id);
    if (first != second && second != third && first != third && g_bPrintDebugInfo)
        say("warning, %02X, %02X, %02X\n", first, second, third);
    return first & second & third;
}

// Without the I/O privilege level the first port access would fault, so no
// port is touched unless it was granted.
static void raise_io_privilege()
{
    if (io_iopl(3) < 0) {
        fprintf(stderr, "Error: Could not do iopl(3): %s\n", strerror(errno));
        exit(1);
    }
}

int _simple_power_check()
{
    raise_io_privilege();
    return get_power_flag(get_mboard_id()) & 0xFF;
}

[[noreturn]] static void watch(int seconds, int (*read_state)(int), bool announce_state)
{
    raise_io_privilege();
    int id = get_mboard_id();
    say("get_mboard_id, MainBoard type is %s(0x%08X) \n", get_mb_name(id), (unsigned int)id);
    int previous = read_state(id);
    say("init power state is 0x%02X\n", previous);
    int count = 0;
    for (;;) {
        delay_us((unsigned int)seconds * 1000000u);
        int current = read_state(id);
        if (current == previous) {
            count++;
            continue;
        }
        if (announce_state && g_bPrintDebugInfo)
            say("get state= %02X\n", current);
        say("state is changed from 0x%02X to 0x%02X(count=%d)\n", previous, current, count);
        previous = current;
        count = 0;
    }
}

void _loop_test(int seconds)
{
    watch(seconds, get_power_flag, true);
}

void _loop_testex(int seconds)
{
    watch(seconds, get_power_flag_ex, false);
}

static void usage()
{
    say("run with args,please\n");
    say("run once:./psumon 09 E4 or ./psumon\n");
    say("run test mode :./psumon -test\n");
    say("run test mode :./psumon -loop\n");
    say("run test mode :./psumon -loopex\n");
}

int main(int argc, char **argv)
{
    if (argc == 1 || argc == 3) {
        g_bPrintStatus = 1;
        g_bPrintDebugInfo = 0;
        _simple_power_check();
        return 0;
    }
    say("psumon v0.5\n");
    if (argc == 2) {
        g_bPrintStatus = 0;
        g_bPrintDebugInfo = 1;
        if (!strcmp(argv[1], "-test"))
            return _simple_power_check();
        if (!strcmp(argv[1], "-loop"))
            _loop_test(1);
        if (!strcmp(argv[1], "-loopex"))
            _loop_testex(1);
    }
    usage();
    return 0;
}
