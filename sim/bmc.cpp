// The simulated BMC behind the kernel's IPMI character device: the few calls
// our programs make, answered the way the Linux driver answers them.
#include "sim/model.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>
#include <unistd.h>

static bool fault(bmc_call call, int &err)
{
    int n = ++g_sim.calls[call];
    const bmc_fault &f = g_sim.faults[call];
    if (f.err && (f.on == 0 || f.on == n)) {
        err = f.err;
        return true;
    }
    return false;
}

static int fail(int err)
{
    errno = err;
    return -1;
}

static std::string result(int err) { return err ? errno_name(err) : "ok"; }

static std::string hex_bytes(const uint8_t *p, size_t n)
{
    std::string s = "[";
    char b[4];
    for (size_t i = 0; i < n; i++) {
        snprintf(b, sizeof b, i ? " %02x" : "%02x", p[i]);
        s += b;
    }
    return s + "]";
}

static bmc_device *device(int fd)
{
    for (bmc_device &d : g_sim.open_devices)
        if (d.fd == fd)
            return &d;
    return nullptr;
}

int bmc_open(const char *path, int flags)
{
    const char *mode = (flags & O_ACCMODE) == O_RDWR ? "O_RDWR"
                       : (flags & O_ACCMODE) == O_WRONLY ? "O_WRONLY" : "O_RDONLY";
    int err = ENOENT;
    bool present = false;
    for (const std::string &n : g_sim.ipmi_nodes)
        present = present || n == path;
    if (!fault(BMC_OPEN, err) && present)
        err = 0;
    trace_line("ipmi open %s %s%s -> %s", path, mode, (flags & ~O_ACCMODE) ? " +flags" : "",
               result(err).c_str());
    if (err)
        return fail(err);
    // A real descriptor keeps numbering and select's fd_set honest.
    int fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        sim_fatal("cannot open /dev/null: %s", strerror(errno));
    g_sim.open_devices.push_back({fd, {}});
    return fd;
}

static std::string address_text(const uint8_t *addr, unsigned len)
{
    char b[96];
    int type;
    short channel;
    if (len < sizeof type + sizeof channel)
        return "short";
    memcpy(&type, addr, sizeof type);
    memcpy(&channel, addr + 4, sizeof channel);
    if (type == IPMI_SYSTEM_INTERFACE_ADDR_TYPE)
        snprintf(b, sizeof b, "type:%02x,channel:%02x,lun:%02x", type, channel & 0xffff, addr[6]);
    else if (type == IPMI_IPMB_ADDR_TYPE)
        snprintf(b, sizeof b, "type:%02x,channel:%02x,slave:%02x,lun:%02x", type, channel & 0xffff,
                 addr[6], addr[7]);
    else
        snprintf(b, sizeof b, "type:%02x", type);
    return b;
}

// The driver's own checks of a request's address record.
static bool address_valid(const uint8_t *addr, unsigned len)
{
    int type;
    short channel;
    memcpy(&type, addr, sizeof type);
    memcpy(&channel, addr + 4, sizeof channel);
    if (type == IPMI_SYSTEM_INTERFACE_ADDR_TYPE)
        return len >= sizeof(ipmi_system_interface_addr) && channel == IPMI_BMC_CHANNEL;
    if (type == IPMI_IPMB_ADDR_TYPE)
        return len >= sizeof(ipmi_ipmb_addr) && channel >= 0 && channel < IPMI_NUM_CHANNELS;
    return false;
}

static std::vector<uint8_t> answer(uint8_t netfn, uint8_t cmd, const uint8_t *data, unsigned len)
{
    int slave = netfn == 0x06 && cmd == 0x52 && len >= 2 ? data[1] : -1;
    for (bmc_rule &r : g_sim.bmc_rules)
        if (r.netfn == netfn && r.cmd == cmd && r.slave == slave) {
            const std::vector<uint8_t> &reply = r.replies[std::min(r.next, r.replies.size() - 1)];
            if (r.next < r.replies.size())
                r.next++;
            return reply;
        }
    return g_sim.bmc_default;
}

static int send_command(bmc_device &d, ipmi_req *req)
{
    uint8_t addr[sizeof(ipmi_addr)] = {};
    unsigned addr_len = req->addr_len;
    int err = 0;
    if (addr_len > sizeof addr || addr_len < sizeof(int) + sizeof(short))
        err = EINVAL;
    else
        memcpy(addr, req->addr, addr_len);
    if (!err && !address_valid(addr, addr_len))
        err = EINVAL;
    int injected = 0;
    if (fault(BMC_SEND, injected))
        err = injected;
    const uint8_t *data = req->msg.data;
    unsigned len = req->msg.data_len;
    trace_line("ipmi send msgid=%ld addr=%s addrlen=%u netfn=%02x cmd=%02x data=%s -> %s", req->msgid,
               address_text(addr, addr_len).c_str(), addr_len, req->msg.netfn, req->msg.cmd,
               data ? hex_bytes(data, len).c_str() : (len ? "null" : "[]"), result(err).c_str());
    if (err)
        return fail(err);
    if (len && !data)
        return fail(EFAULT);
    d.reply.valid = true;
    d.reply.msgid = req->msgid;
    d.reply.netfn = req->msg.netfn | 1;
    d.reply.cmd = req->msg.cmd;
    d.reply.addr.assign(addr, addr + addr_len);
    d.reply.data = answer(req->msg.netfn, req->msg.cmd, data, len);
    return 0;
}

// As the driver does: a reply longer than the caller's buffer is cut to the
// buffer and the call fails with EMSGSIZE after filling the record.
static int receive_message(bmc_device &d, ipmi_recv *recv)
{
    unsigned addr_room = recv->addr_len, data_room = recv->msg.data_len;
    int err = 0;
    if (!fault(BMC_RECEIVE, err) && !d.reply.valid)
        err = EAGAIN;
    if (!err && recv->addr_len < d.reply.addr.size())
        err = EINVAL;
    if (err) {
        trace_line("ipmi receive addrlen=%u datalen=%u -> %s", addr_room, data_room, errno_name(err));
        return fail(err);
    }
    memcpy(recv->addr, d.reply.addr.data(), d.reply.addr.size());
    recv->addr_len = (unsigned)d.reply.addr.size();
    recv->recv_type = IPMI_RESPONSE_RECV_TYPE;
    recv->msgid = d.reply.msgid;
    recv->msg.netfn = d.reply.netfn;
    recv->msg.cmd = d.reply.cmd;
    size_t n = d.reply.data.size();
    if (n > recv->msg.data_len) {
        n = recv->msg.data_len;
        err = EMSGSIZE;
    }
    memcpy(recv->msg.data, d.reply.data.data(), n);
    recv->msg.data_len = (unsigned short)n;
    trace_line("ipmi receive addrlen=%u datalen=%u msgid=%ld netfn=%02x cmd=%02x data=%s of %zu -> %s", addr_room,
               data_room, recv->msgid, recv->msg.netfn, recv->msg.cmd, hex_bytes(recv->msg.data, n).c_str(),
               d.reply.data.size(), result(err).c_str());
    d.reply = bmc_pending();
    return err ? fail(err) : 0;
}

int bmc_ioctl(int fd, unsigned long request, void *arg)
{
    bmc_device *d = device(fd);
    if (!d)
        return fail(EBADF);
    int err = 0;
    switch (request) {
    case IPMICTL_SET_GETS_EVENTS_CMD:
        fault(BMC_EVENTS, err);
        trace_line("ipmi events %d -> %s", *(int *)arg, result(err).c_str());
        return err ? fail(err) : 0;
    case IPMICTL_SEND_COMMAND:
        return send_command(*d, (ipmi_req *)arg);
    case IPMICTL_RECEIVE_MSG_TRUNC:
        return receive_message(*d, (ipmi_recv *)arg);
    default:
        trace_line("ipmi ioctl 0x%lx -> ENOTTY", request);
        return fail(ENOTTY);
    }
}

int bmc_select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds)
{
    int err = 0;
    if (fault(BMC_SELECT, err)) {
        trace_line("ipmi select -> %s", errno_name(err));
        return fail(err);
    }
    if (writefds || exceptfds || !readfds)
        sim_fatal("select on the IPMI device with other than a read set");
    int ready = 0;
    for (int fd = 0; fd < nfds; fd++) {
        if (!FD_ISSET(fd, readfds))
            continue;
        bmc_device *d = device(fd);
        if (d && d->reply.valid)
            ready++;
        else
            FD_CLR(fd, readfds);
    }
    if (!ready)
        sim_fatal("select would wait for ever: no reply is pending");
    trace_line("ipmi select -> ok");
    return ready;
}

int bmc_close(int fd)
{
    for (size_t i = 0; i < g_sim.open_devices.size(); i++)
        if (g_sim.open_devices[i].fd == fd) {
            g_sim.open_devices.erase(g_sim.open_devices.begin() + (long)i);
            trace_line("ipmi close");
            return close(fd);
        }
    return fail(EBADF);
}
