// The simulator behind the hardware seam: port access under the appliance's
// privilege rules, the IPMI device, delays, the trace, and the halt that ends
// a watch loop the way an operator's kill would.
#include "platform/delay.h"
#include "platform/ipmidev.h"
#include "platform/lockfile.h"
#include "platform/portio.h"
#include "platform/portlock.h"
#include "sim/hwsim.h"
#include "sim/model.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

appliance g_sim;

static bool g_booted;
static int g_trace_fd = -1;
static std::string g_trace;

// A loop left without a halt would spin for ever at simulated speed.
static const long SLEEP_LIMIT = 100000;

void sim_fatal(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    fputs("hwsim: ", stderr);
    vfprintf(stderr, fmt, ap);
    fputc('\n', stderr);
    va_end(ap);
    _exit(125);
}

void trace_line(const char *fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, sizeof buf - 1, fmt, ap);
    va_end(ap);
    if (n < 0)
        return;
    if (n > (int)sizeof buf - 2)
        n = (int)sizeof buf - 2;
    buf[n++] = '\n';
    g_trace.append(buf, (size_t)n);
    // Written at once, so that a killed process leaves its whole trace.
    if (g_trace_fd >= 0 && write(g_trace_fd, buf, (size_t)n) != n)
        sim_fatal("cannot write the trace: %s", strerror(errno));
}

static void write_state()
{
    const char *path = getenv("HWSIM_STATE");
    if (!path)
        return;
    std::ofstream f(path, std::ios::trunc);
    f << state_text();
}

void sim_boot()
{
    if (g_booted)
        return;
    g_booted = true;
    const char *path = getenv("HWSIM_SCENARIO");
    if (!path)
        sim_fatal("HWSIM_SCENARIO names no scenario file");
    std::ifstream f(path);
    if (!f)
        sim_fatal("cannot read the scenario %s", path);
    std::stringstream text;
    text << f.rdbuf();
    std::string error;
    if (!scenario_parse(text.str(), g_sim, error))
        sim_fatal("%s: %s", path, error.c_str());
    if (const char *trace = getenv("HWSIM_TRACE")) {
        g_trace_fd = open(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (g_trace_fd < 0)
            sim_fatal("cannot open the trace %s: %s", trace, strerror(errno));
    }
    atexit(write_state);
}

bool hwsim_load(const std::string &scenario, std::string &error)
{
    g_booted = true;
    g_trace.clear();
    return scenario_parse(scenario, g_sim, error);
}

std::string hwsim_take_trace()
{
    std::string t;
    t.swap(g_trace);
    return t;
}

std::string hwsim_state() { return state_text(); }

// Without the privilege the processor faults and the kernel ends the process.
static void check_access(const char *op, unsigned short port, int width)
{
    bool allowed = true;
    for (int i = 0; i < width; i++)
        allowed = allowed && g_sim.ioperm_bits[(unsigned short)(port + i)];
    if (allowed || g_sim.iopl_level == 3)
        return;
    trace_line("fault %s 0x%04x: no I/O privilege", op, port);
    write_state();
    signal(SIGSEGV, SIG_DFL);
    raise(SIGSEGV);
    _exit(128 + SIGSEGV);
}

static uint32_t port_in(const char *op, unsigned short port, int width)
{
    sim_boot();
    check_access(op, port, width);
    uint32_t v = ports_read(port, width);
    trace_line("%s 0x%04x -> 0x%0*x", op, port, 2 * width, v);
    return v;
}

static void port_out(const char *op, uint32_t value, unsigned short port, int width)
{
    sim_boot();
    check_access(op, port, width);
    trace_line("%s 0x%04x 0x%0*x", op, port, 2 * width, value);
    ports_write(port, width, value);
}

static const unsigned short PAUSE_PORT = 0x80;

unsigned char io_inb(unsigned short port) { return (unsigned char)port_in("inb", port, 1); }
unsigned short io_inw(unsigned short port) { return (unsigned short)port_in("inw", port, 2); }
unsigned int io_inl(unsigned short port) { return port_in("inl", port, 4); }
void io_outb(unsigned char value, unsigned short port) { port_out("outb", value, port, 1); }
void io_outw(unsigned short value, unsigned short port) { port_out("outw", value, port, 2); }
void io_outl(unsigned int value, unsigned short port) { port_out("outl", value, port, 4); }

unsigned char io_inb_p(unsigned short port)
{
    unsigned char v = io_inb(port);
    io_outb(v, PAUSE_PORT);
    return v;
}

unsigned short io_inw_p(unsigned short port)
{
    unsigned short v = io_inw(port);
    io_outb((unsigned char)v, PAUSE_PORT);
    return v;
}

unsigned int io_inl_p(unsigned short port)
{
    unsigned int v = io_inl(port);
    io_outb((unsigned char)v, PAUSE_PORT);
    return v;
}

void io_outb_p(unsigned char value, unsigned short port)
{
    io_outb(value, port);
    io_outb(value, PAUSE_PORT);
}

void io_outw_p(unsigned short value, unsigned short port)
{
    io_outw(value, port);
    io_outb((unsigned char)value, PAUSE_PORT);
}

void io_outl_p(unsigned int value, unsigned short port)
{
    io_outl(value, port);
    io_outb((unsigned char)value, PAUSE_PORT);
}

static int privilege_result(const char *what, int err)
{
    if (!err) {
        trace_line("%s -> ok", what);
        return 0;
    }
    trace_line("%s -> %s", what, errno_name(err));
    errno = err;
    return -1;
}

int io_iopl(int level)
{
    sim_boot();
    char what[32];
    snprintf(what, sizeof what, "iopl %d", level);
    int err = g_sim.iopl_error;
    if (!err && (level < 0 || level > 3))
        err = EINVAL;
    if (!err)
        g_sim.iopl_level = level;
    return privilege_result(what, err);
}

int io_ioperm(unsigned long from, unsigned long num, int turn_on)
{
    sim_boot();
    char what[64];
    snprintf(what, sizeof what, "ioperm 0x%04lx %lu %d", from, num, turn_on);
    int err = 0;
    if (from + num <= from || from + num > (unsigned long)g_sim.ioperm_limit + 1)
        err = EINVAL;
    else if (g_sim.ioperm_error)
        err = g_sim.ioperm_error;
    else
        for (const auto &p : g_sim.ioperm_port_error)
            if ((unsigned long)p.first >= from && (unsigned long)p.first < from + num)
                err = p.second;
    if (!err)
        for (unsigned long p = from; p < from + num; p++)
            g_sim.ioperm_bits[p] = turn_on != 0;
    return privilege_result(what, err);
}

[[noreturn]] static void halt(const char *why)
{
    trace_line("halt: %s", why);
    write_state();
    // Ended by a signal, as an operator ends a watch: buffered output is lost.
    signal(SIGTERM, SIG_DFL);
    raise(SIGTERM);
    _exit(128 + SIGTERM);
}

void delay_us(unsigned int microseconds)
{
    sim_boot();
    if (g_sim.halt_after_sleeps >= 0 && g_sim.sleeps >= g_sim.halt_after_sleeps)
        halt("sleep limit of the scenario");
    if (g_sim.halt_when_done && !scripts_pending())
        halt("scripts done");
    if (g_sim.sleeps >= SLEEP_LIMIT) {
        fprintf(stderr, "hwsim: %ld sleeps without a halt\n", SLEEP_LIMIT);
        halt("runaway loop");
    }
    g_sim.sleeps++;
    trace_line("usleep %u", microseconds);
    if (g_sim.real_delays)
        usleep(microseconds);
}

// The port lock is real when HWSIM_LOCK names a lock file, so that processes
// of simulated builds contend for it as the deliverables do; otherwise it is
// only traced.
static bool g_locked;
static int g_lock_fd = -1;

int port_lock(char *why, size_t size)
{
    sim_boot();
    if (g_locked)
        sim_fatal("the port lock is taken while held");
    const char *path = getenv("HWSIM_LOCK");
    if (path && lockfile_take(path, PORT_LOCK_WAIT_MS, &g_lock_fd, why, size) < 0) {
        trace_line("lock -> refused");
        return -1;
    }
    g_locked = true;
    trace_line("lock");
    return 0;
}

void port_unlock()
{
    if (!g_locked)
        sim_fatal("the port lock is released but not held");
    lockfile_release(&g_lock_fd);
    g_locked = false;
    trace_line("unlock");
}

int ipmidev_open(const char *path, int flags)
{
    sim_boot();
    return bmc_open(path, flags);
}

int ipmidev_ioctl(int fd, unsigned long request, void *arg)
{
    sim_boot();
    return bmc_ioctl(fd, request, arg);
}

int ipmidev_select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds,
                   struct timeval *timeout)
{
    sim_boot();
    if (timeout)
        sim_fatal("select with a time limit on the IPMI device");
    return bmc_select(nfds, readfds, writefds, exceptfds);
}

int ipmidev_close(int fd)
{
    sim_boot();
    return bmc_close(fd);
}
