// appliance-bmc: the BMC behind QEMU's ipmi-bmc-extern device.
//
//   appliance-bmc SOCKET SCENARIO LOG
//
// QEMU connects to the UNIX socket SOCKET.  Each request is answered from the
// SCENARIO rules, else from the few answers the guest kernel's probe needs,
// and logged to LOG; a rule "NETFN CMD [DATA...] -> never" leaves its
// requests without any answer.  The program ends when that connection closes, or on
// SIGTERM or SIGINT.
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

typedef std::vector<unsigned char> Bytes;

static const unsigned char MSG_END = 0xA0;
static const unsigned char CTRL_END = 0xA1;
static const unsigned char ESCAPE = 0xAA;
static const size_t MAX_FRAME = 300;

static const unsigned char CC_OK = 0x00;
static const unsigned char CC_INVALID_COMMAND = 0xC1;

static const struct {
    unsigned char netfn, cmd;
    unsigned char len;
    unsigned char data[11];
} builtin_answers[] = {
    // Get Device ID: device 20, revision 1, firmware 1.00, IPMI 2.0, support 0f
    {0x06, 0x01, 11, {0x20, 0x01, 0x01, 0x00, 0x02, 0x0f, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {0x06, 0x2f, 1, {0x0c}}, // Get BMC Global Enables
    {0x06, 0x2e, 0, {}},     // Set BMC Global Enables
    {0x06, 0x30, 0, {}},     // Clear Message Flags
};

struct Rule {
    unsigned char netfn, cmd;
    bool any_data;
    Bytes data;
    bool never; // no answer at all
    unsigned char cc;
    Bytes reply;
    int used; // on the first rule of a queue: how many of its rules are used up
};

static std::vector<Rule> rules;
static FILE *log_file;
static volatile sig_atomic_t stop_requested;

// ---- Scenario --------------------------------------------------------------

// Appends the whitespace separated hex bytes of [p, end); 0 or -1 with why.
static int parse_hex(const char *p, const char *end, Bytes &out, char *why, size_t why_size)
{
    for (;;) {
        while (p < end && isspace((unsigned char)*p))
            p++;
        if (p == end)
            return 0;
        const char *start = p;
        while (p < end && !isspace((unsigned char)*p))
            p++;
        int len = (int)(p - start);
        int ok = len <= 2;
        for (const char *q = start; ok && q < p; q++)
            ok = isxdigit((unsigned char)*q);
        if (!ok) {
            snprintf(why, why_size, "'%.*s' is not a hex byte", len > 20 ? 20 : len, start);
            return -1;
        }
        char digits[3] = {start[0], len == 2 ? start[1] : '\0', '\0'};
        out.push_back((unsigned char)strtoul(digits, nullptr, 16));
    }
}

static int parse_rule(char *line, Rule &rule, char *why, size_t why_size)
{
    char *arrow = strstr(line, "->");
    if (!arrow) {
        snprintf(why, why_size, "missing '->'");
        return -1;
    }
    if (strstr(arrow + 2, "->")) {
        snprintf(why, why_size, "more than one '->'");
        return -1;
    }
    Bytes left, right;
    char word[8] = "";
    char rest;
    bool never = sscanf(arrow + 2, " %7s %c", word, &rest) == 1 && !strcmp(word, "never");
    if (parse_hex(line, arrow, left, why, why_size) ||
        (!never && parse_hex(arrow + 2, arrow + strlen(arrow), right, why, why_size)))
        return -1;
    if (left.size() < 2) {
        snprintf(why, why_size, "NETFN and CMD expected before '->'");
        return -1;
    }
    if (right.empty() && !never) {
        snprintf(why, why_size, "completion code or 'never' expected after '->'");
        return -1;
    }
    if ((left[0] & 1) || left[0] > 0x3e) {
        snprintf(why, why_size, "netfn %02x is not a request netfn", left[0]);
        return -1;
    }
    rule.netfn = left[0];
    rule.cmd = left[1];
    rule.data.assign(left.begin() + 2, left.end());
    rule.any_data = rule.data.empty();
    rule.never = never;
    rule.cc = never ? 0 : right[0];
    if (!never)
        rule.reply.assign(right.begin() + 1, right.end());
    rule.used = 0;
    return 0;
}

static int load_scenario(const char *path)
{
    FILE *f = fopen(path, "r");
    if (!f) {
        fprintf(stderr, "appliance-bmc: %s: %s\n", path, strerror(errno));
        return -1;
    }
    char *line = nullptr;
    size_t cap = 0;
    int line_no = 0, result = 0;
    while (getline(&line, &cap, f) >= 0) {
        line_no++;
        char *hash = strchr(line, '#');
        if (hash)
            *hash = '\0';
        char *p = line;
        while (isspace((unsigned char)*p))
            p++;
        if (!*p)
            continue;
        Rule rule;
        char why[80];
        if (parse_rule(line, rule, why, sizeof why)) {
            fprintf(stderr, "appliance-bmc: %s:%d: %s\n", path, line_no, why);
            result = -1;
            break;
        }
        rules.push_back(rule);
    }
    if (result == 0 && ferror(f)) {
        fprintf(stderr, "appliance-bmc: %s: read error\n", path);
        result = -1;
    }
    free(line);
    fclose(f);
    return result;
}

static bool same_queue(const Rule &a, const Rule &b)
{
    return a.netfn == b.netfn && a.cmd == b.cmd && a.any_data == b.any_data && a.data == b.data;
}

// The rule answering this request, or null.  Rules with DATA come first.
static const Rule *take_rule(unsigned char netfn, unsigned char cmd, const Bytes &data)
{
    for (int any_data = 0; any_data <= 1; any_data++) {
        for (size_t i = 0; i < rules.size(); i++) {
            Rule &head = rules[i];
            if (head.netfn != netfn || head.cmd != cmd || head.any_data != (bool)any_data)
                continue;
            if (!head.any_data && head.data != data)
                continue;
            // head is the first rule of its queue; skip the ones already used
            int skip = head.used;
            const Rule *pick = &head;
            for (size_t j = i + 1; j < rules.size(); j++) {
                if (!same_queue(head, rules[j]))
                    continue;
                if (skip == 0) {
                    head.used++;
                    break;
                }
                pick = &rules[j];
                skip--;
            }
            return pick;
        }
    }
    return nullptr;
}

// False when the request is to go without an answer.
static bool answer(unsigned char netfn, unsigned char cmd, const Bytes &data, unsigned char &cc, Bytes &reply)
{
    const Rule *rule = take_rule(netfn, cmd, data);
    if (rule) {
        cc = rule->cc;
        reply = rule->reply;
        return !rule->never;
    }
    for (const auto &b : builtin_answers) {
        if (b.netfn == netfn && b.cmd == cmd) {
            cc = CC_OK;
            reply.assign(b.data, b.data + b.len);
            return true;
        }
    }
    cc = CC_INVALID_COMMAND;
    reply.clear();
    return true;
}

// ---- Log -------------------------------------------------------------------

static void log_bytes(const unsigned char *p, size_t n)
{
    for (size_t i = 0; i < n; i++)
        fprintf(log_file, i ? " %02x" : "%02x", p[i]);
}

static void log_bad_frame(const Bytes &frame)
{
    fprintf(log_file, "bad frame:");
    for (unsigned char b : frame)
        fprintf(log_file, " %02x", b);
    fprintf(log_file, "\n");
    fflush(log_file);
}

static void log_request(unsigned char netfn, unsigned char cmd, int lun, const Bytes &data, bool answered,
                        unsigned char cc, const Bytes &reply)
{
    fprintf(log_file, "request netfn=%02x cmd=%02x lun=%d data=[", netfn, cmd, lun);
    log_bytes(data.data(), data.size());
    if (answered) {
        fprintf(log_file, "] -> cc=%02x data=[", cc);
        log_bytes(reply.data(), reply.size());
        fprintf(log_file, "]\n");
    } else {
        fprintf(log_file, "] -> no answer\n");
    }
    fflush(log_file);
}

// ---- Wire ------------------------------------------------------------------

static void put_escaped(Bytes &out, unsigned char b)
{
    if (b == MSG_END || b == CTRL_END || b == ESCAPE) {
        out.push_back(ESCAPE);
        out.push_back(b | 0x10);
    } else {
        out.push_back(b);
    }
}

static void send_message(int fd, const Bytes &msg)
{
    Bytes out;
    unsigned char sum = 0;
    for (unsigned char b : msg) {
        put_escaped(out, b);
        sum += b;
    }
    put_escaped(out, (unsigned char)-sum);
    out.push_back(MSG_END);

    size_t done = 0;
    while (done < out.size()) {
        ssize_t n = send(fd, out.data() + done, out.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the peer is gone; the next read sees it
        done += (size_t)n;
    }
}

static void handle_message(int fd, const Bytes &frame)
{
    unsigned char sum = 0;
    for (unsigned char b : frame)
        sum += b;
    if (frame.size() < 4 || sum != 0) {
        log_bad_frame(frame);
        return;
    }
    unsigned char seq = frame[0], netfn = frame[1] >> 2, cmd = frame[2];
    int lun = frame[1] & 3;
    Bytes data(frame.begin() + 3, frame.end() - 1);

    unsigned char cc;
    Bytes reply;
    bool answered = answer(netfn, cmd, data, cc, reply);
    log_request(netfn, cmd, lun, data, answered, cc, reply);
    if (!answered)
        return;

    Bytes msg = {seq, (unsigned char)((netfn | 1) << 2 | lun), cmd, cc};
    msg.insert(msg.end(), reply.begin(), reply.end());
    send_message(fd, msg);
}

// Frame being received; it may span several reads.
static Bytes rx_frame;
static bool rx_escaped;
static bool rx_too_long;

static void receive(int fd, const unsigned char *p, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        unsigned char b = p[i];
        if (b == MSG_END || b == CTRL_END) {
            if (b == MSG_END && rx_too_long) {
                fprintf(log_file, "bad frame: too long\n");
                fflush(log_file);
            } else if (b == MSG_END) {
                handle_message(fd, rx_frame);
            }
            rx_frame.clear();
            rx_escaped = false;
            rx_too_long = false;
            continue;
        }
        if (b == ESCAPE) {
            rx_escaped = true;
            continue;
        }
        if (rx_escaped) {
            b &= (unsigned char)~0x10;
            rx_escaped = false;
        }
        if (rx_frame.size() < MAX_FRAME)
            rx_frame.push_back(b);
        else
            rx_too_long = true;
    }
}

// ---- Socket ----------------------------------------------------------------

static void on_stop_signal(int)
{
    stop_requested = 1;
}

// Listens on SOCKET + ".tmp" and renames it to SOCKET, so that whoever finds
// SOCKET can connect at once.
static int open_listener(const char *path)
{
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    int len = snprintf(addr.sun_path, sizeof addr.sun_path, "%s.tmp", path);
    if (len < 0 || (size_t)len >= sizeof addr.sun_path) {
        fprintf(stderr, "appliance-bmc: %s: socket path too long\n", path);
        return -1;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fprintf(stderr, "appliance-bmc: socket: %s\n", strerror(errno));
        return -1;
    }
    unlink(addr.sun_path);
    if (bind(fd, (struct sockaddr *)&addr, sizeof addr) || listen(fd, 1) || rename(addr.sun_path, path)) {
        fprintf(stderr, "appliance-bmc: %s: %s\n", path, strerror(errno));
        unlink(addr.sun_path);
        close(fd);
        return -1;
    }
    return fd;
}

// 1 when fd is readable, 0 when a stop signal came first, -1 on error.
static int wait_readable(int fd, const sigset_t *unblocked)
{
    struct pollfd p = {fd, POLLIN, 0};
    while (!stop_requested) {
        if (ppoll(&p, 1, nullptr, unblocked) > 0)
            return 1;
        if (errno != EINTR) {
            fprintf(stderr, "appliance-bmc: poll: %s\n", strerror(errno));
            return -1;
        }
    }
    return 0;
}

static int serve(int listen_fd, const sigset_t *unblocked)
{
    int ready = wait_readable(listen_fd, unblocked);
    if (ready <= 0)
        return ready;
    int fd = accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        fprintf(stderr, "appliance-bmc: accept: %s\n", strerror(errno));
        return -1;
    }
    unsigned char buf[512];
    while ((ready = wait_readable(fd, unblocked)) > 0) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // QEMU is gone
        receive(fd, buf, (size_t)n);
    }
    close(fd);
    return ready < 0 ? -1 : 0;
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: appliance-bmc SOCKET SCENARIO LOG\n");
        return 2;
    }
    const char *socket_path = argv[1];
    if (load_scenario(argv[2]))
        return 2;
    log_file = fopen(argv[3], "w");
    if (!log_file) {
        fprintf(stderr, "appliance-bmc: %s: %s\n", argv[3], strerror(errno));
        return 2;
    }

    // The stop signals are only let through while waiting in ppoll.
    sigset_t stop_signals, unblocked;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    sigprocmask(SIG_BLOCK, &stop_signals, &unblocked);
    sigdelset(&unblocked, SIGTERM);
    sigdelset(&unblocked, SIGINT);
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_stop_signal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    int listen_fd = open_listener(socket_path);
    if (listen_fd < 0) {
        fclose(log_file);
        return 1;
    }
    int result = serve(listen_fd, &unblocked);
    close(listen_fd);
    unlink(socket_path);
    fclose(log_file);
    return result < 0 ? 1 : 0;
}
