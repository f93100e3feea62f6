// Reads a scenario: the plain-text description of one simulated appliance.
// The format is documented in SCENARIO.md beside this file.
#include "sim/model.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

static const struct {
    const char *name;
    int value;
} errno_names[] = {
    {"EPERM", EPERM},   {"ENOENT", ENOENT}, {"EINTR", EINTR},       {"EIO", EIO},
    {"ENXIO", ENXIO},   {"EBADF", EBADF},   {"EAGAIN", EAGAIN},     {"ENOMEM", ENOMEM},
    {"EACCES", EACCES}, {"EFAULT", EFAULT}, {"EBUSY", EBUSY},       {"ENODEV", ENODEV},
    {"EINVAL", EINVAL}, {"ENOTTY", ENOTTY}, {"ENOSYS", ENOSYS},     {"EMSGSIZE", EMSGSIZE},
    {"ETIMEDOUT", ETIMEDOUT},
};

const char *errno_name(int err)
{
    for (const auto &e : errno_names)
        if (e.value == err)
            return e.name;
    return "E?";
}

static bool parse_errno(const std::string &t, int &out)
{
    for (const auto &e : errno_names)
        if (t == e.name) {
            out = e.value;
            return true;
        }
    return false;
}

// Scenario numbers are hexadecimal, with or without 0x; counts are decimal.
static bool parse_hex(const std::string &t, unsigned long max, unsigned long &out)
{
    const char *p = t.c_str();
    if (!strncmp(p, "0x", 2) || !strncmp(p, "0X", 2))
        p += 2;
    if (!isxdigit((unsigned char)*p))
        return false;
    char *end;
    errno = 0;
    out = strtoul(p, &end, 16);
    return *end == '\0' && errno == 0 && out <= max;
}

static bool parse_count(const std::string &t, long &out)
{
    if (t.empty() || !isdigit((unsigned char)t[0]))
        return false;
    char *end;
    out = strtol(t.c_str(), &end, 10);
    return *end == '\0' && out < 1000000000;
}

static bool parse_byte_list(const std::string &t, std::vector<uint8_t> &out)
{
    out.clear();
    std::stringstream ss(t);
    std::string item;
    while (std::getline(ss, item, ',')) {
        unsigned long v;
        if (!parse_hex(item, 0xff, v))
            return false;
        out.push_back((uint8_t)v);
    }
    return !out.empty() && t.back() != ',';
}

static bool parse_values(const std::string &t, byte_script &out)
{
    out.next = 0;
    return parse_byte_list(t, out.values);
}

// BYTES [| BYTES]...: each byte in hex, XX*N repeats a byte N times.
static bool parse_replies(const std::vector<std::string> &tok, size_t from,
                          std::vector<std::vector<uint8_t>> &out)
{
    out.assign(1, {});
    for (size_t i = from; i < tok.size(); i++) {
        if (tok[i] == "|") {
            out.emplace_back();
            continue;
        }
        std::string byte = tok[i];
        long repeat = 1;
        size_t star = byte.find('*');
        if (star != std::string::npos) {
            if (!parse_count(byte.substr(star + 1), repeat))
                return false;
            byte.resize(star);
        }
        unsigned long v;
        if (!parse_hex(byte, 0xff, v))
            return false;
        out.back().insert(out.back().end(), (size_t)repeat, (uint8_t)v);
    }
    for (const auto &r : out)
        if (r.empty())
            return false;
    return true;
}

static bool parse_bdf(const std::string &t, uint32_t &out)
{
    unsigned bus, dev, fn;
    char tail;
    if (sscanf(t.c_str(), "%x:%x.%x%c", &bus, &dev, &fn, &tail) != 3 || bus > 0xff || dev > 0x1f ||
        fn > 7)
        return false;
    out = bus << 8 | dev << 3 | fn;
    return true;
}

static const char *const bmc_call_names[BMC_CALLS] = {"open", "events", "send", "select", "receive"};

enum section { NONE, SUPERIO, INDEXED };

struct parse_state {
    appliance &a;
    section sec = NONE;
    bool bmc_declared = false;
};

static bool chip_line(parse_state &p, const std::vector<std::string> &t, std::string &err)
{
    const std::string &w = t[0];
    unsigned long v, reg, ldn;
    if (p.sec == NONE) {
        err = "'" + w + "' needs a superio or indexed chip before it";
        return false;
    }
    if (w == "fill" && t.size() == 2 && parse_hex(t[1], 0xff, v)) {
        if (p.sec == SUPERIO)
            p.a.superio.back().fill = (uint8_t)v;
        else
            p.a.indexed.back().fill = (uint8_t)v;
        return true;
    }
    if (w == "ldn" && p.sec == SUPERIO && t.size() == 4 && parse_hex(t[1], 0xff, ldn) &&
        parse_hex(t[2], 0xff, reg) && reg >= 0x30)
        return parse_values(t[3], p.a.superio.back().regs[0x100 + (int)(ldn << 8) + (int)reg]) ||
               (err = "bad values '" + t[3] + "'", false);
    if (w == "reg" && t.size() == 3) {
        byte_script s;
        if (!parse_values(t[2], s)) {
            err = "bad values '" + t[2] + "'";
            return false;
        }
        if (p.sec == SUPERIO && parse_hex(t[1], 0x2f, reg)) {
            p.a.superio.back().regs[(int)reg] = s;
            if (reg == 0x07)
                p.a.superio.back().ldn = s.values[0];
            return true;
        }
        unsigned long bank = 0;
        std::string r = t[1];
        size_t colon = r.find(':');
        if (colon != std::string::npos) {
            if (!parse_hex(r.substr(0, colon), 0xff, bank))
                return false;
            r = r.substr(colon + 1);
        }
        if (p.sec == INDEXED && parse_hex(r, 0xff, reg)) {
            indexed_chip &c = p.a.indexed.back();
            // The bank register reads the same in every bank: it selects the bank.
            if ((int)reg == c.bank_reg)
                c.bank = s.values[0];
            else
                c.regs[(int)(bank << 8 | reg)] = s;
            return true;
        }
    }
    err = "bad '" + w + "' line";
    return false;
}

static bool bmc_line(parse_state &p, const std::vector<std::string> &t, std::string &err)
{
    p.bmc_declared = true;
    unsigned long netfn, cmd, slave;
    long on = 0;
    int e;
    if (t.size() == 3 && t[1] == "node") {
        p.a.ipmi_nodes.push_back(t[2]);
        return true;
    }
    if (t.size() >= 5 && t[1] == "reply" && parse_hex(t[2], 0x3f, netfn) && parse_hex(t[3], 0xff, cmd)) {
        bmc_rule r{(int)netfn, (int)cmd, -1, {}, 0};
        if (parse_replies(t, 4, r.replies)) {
            p.a.bmc_rules.push_back(r);
            return true;
        }
    }
    if (t.size() >= 4 && t[1] == "mwr" && parse_hex(t[2], 0xff, slave)) {
        bmc_rule r{0x06, 0x52, (int)slave, {}, 0};
        if (parse_replies(t, 3, r.replies)) {
            p.a.bmc_rules.push_back(r);
            return true;
        }
    }
    if (t.size() >= 3 && t[1] == "default") {
        std::vector<std::vector<uint8_t>> r;
        if (parse_replies(t, 2, r) && r.size() == 1) {
            p.a.bmc_default = r[0];
            return true;
        }
    }
    if ((t.size() == 4 || (t.size() == 6 && t[4] == "on" && parse_count(t[5], on) && on > 0)) &&
        t[1] == "fail" && parse_errno(t[3], e)) {
        for (int c = 0; c < BMC_CALLS; c++)
            if (t[2] == bmc_call_names[c]) {
                p.a.faults[c].err = e;
                p.a.faults[c].on = (int)on;
                return true;
            }
    }
    err = "bad 'bmc' line";
    return false;
}

static bool parse_line(parse_state &p, const std::vector<std::string> &t, std::string &err)
{
    const std::string &w = t[0];
    unsigned long v, port, last;
    uint32_t bdf;
    int e;
    long n;

    if (w == "pci" && (t.size() == 3 || t.size() == 4) && parse_bdf(t[1], bdf)) {
        unsigned long offset = 0;
        if (t.size() == 4 && (!parse_hex(t[2], 0xfc, offset) || offset % 4))
            return err = "bad pci offset", false;
        if (!parse_hex(t.back(), 0xffffffffu, v))
            return err = "bad pci value", false;
        pci_function *f = nullptr;
        for (pci_function &x : p.a.pci)
            if (x.bdf == bdf)
                f = &x;
        if (!f) {
            p.a.pci.push_back({bdf, {}});
            f = &p.a.pci.back();
        }
        f->dwords[(int)offset] = (uint32_t)v;
        return true;
    }
    if (w == "superio" && (t.size() == 2 || (t.size() == 4 && t[2] == "key")) &&
        parse_hex(t[1], 0xfffe, port)) {
        superio_chip c;
        c.port = (uint16_t)port;
        if (t.size() == 4 && (!parse_byte_list(t[3], c.key) || c.key.size() > 8))
            return err = "bad key", false;
        p.a.superio.push_back(c);
        p.sec = SUPERIO;
        return true;
    }
    if (w == "indexed" && t.size() >= 3) {
        indexed_chip c;
        unsigned long data;
        if (!parse_hex(t[1], 0xffff, port) || !parse_hex(t[2], 0xffff, data))
            return err = "bad indexed ports", false;
        c.addr_port = (uint16_t)port;
        c.data_port = (uint16_t)data;
        for (size_t i = 3; i < t.size(); i++) {
            if (t[i] == "wide")
                c.wide = true;
            else if (t[i] == "bank" && i + 1 < t.size() && parse_hex(t[i + 1], 0xff, v))
                c.bank_reg = (int)v, i++;
            else if (t[i] == "addr-reads" && i + 1 < t.size() && parse_hex(t[i + 1], 0xff, v))
                c.addr_readback = (int)v, i++;
            else
                return err = "bad indexed option '" + t[i] + "'", false;
        }
        p.a.indexed.push_back(c);
        p.sec = INDEXED;
        return true;
    }
    if (w == "reg" || w == "ldn" || w == "fill")
        return chip_line(p, t, err);
    if ((w == "latch" || w == "input") && t.size() == 3) {
        std::string range = t[1];
        size_t dash = range.find('-');
        std::string first = range.substr(0, dash);
        if (!parse_hex(first, 0xffff, port))
            return err = "bad port", false;
        last = port;
        if (dash != std::string::npos && (!parse_hex(range.substr(dash + 1), 0xffff, last) || last < port))
            return err = "bad port range", false;
        plain_port port_model{0, w == "input", {}};
        if (!parse_values(t[2], port_model.value))
            return err = "bad values '" + t[2] + "'", false;
        for (unsigned long q = port; q <= last; q++) {
            port_model.port = (uint16_t)q;
            p.a.plain.push_back(port_model);
        }
        return true;
    }
    if (w == "iopl" && t.size() >= 2 && t.size() <= 3 && t[1] == "deny") {
        p.a.iopl_error = EPERM;
        return t.size() == 2 || parse_errno(t[2], p.a.iopl_error) || (err = "bad errno", false);
    }
    if (w == "ioperm" && t.size() == 3 && t[1] == "limit" && parse_hex(t[2], 0xffff, v)) {
        p.a.ioperm_limit = (int)v;
        return true;
    }
    if (w == "ioperm" && t.size() >= 2 && t.size() <= 4 && t[1] == "deny") {
        e = EPERM;
        bool have_port = t.size() >= 3 && parse_hex(t[2], 0xffff, port);
        size_t errno_at = have_port ? 3 : 2;
        if (errno_at < t.size() && !parse_errno(t[errno_at], e))
            return err = "bad ioperm line", false;
        if (t.size() > errno_at + 1)
            return err = "bad ioperm line", false;
        if (have_port)
            p.a.ioperm_port_error[(int)port] = e;
        else
            p.a.ioperm_error = e;
        return true;
    }
    if (w == "bmc" && t.size() >= 2)
        return bmc_line(p, t, err);
    if (w == "delay" && t.size() == 2 && t[1] == "real") {
        p.a.real_delays = true;
        return true;
    }
    if (w == "halt" && t.size() == 3 && t[1] == "after-sleeps" && parse_count(t[2], n)) {
        p.a.halt_after_sleeps = (int)n;
        return true;
    }
    if (w == "halt" && t.size() == 2 && t[1] == "when-done") {
        p.a.halt_when_done = true;
        return true;
    }
    err = "unknown or malformed '" + w + "' line";
    return false;
}

bool scenario_parse(const std::string &text, appliance &out, std::string &error)
{
    out = appliance();
    parse_state p{out};
    std::stringstream lines(text);
    std::string raw;
    int number = 0;
    while (std::getline(lines, raw)) {
        number++;
        size_t hash = raw.find('#');
        if (hash != std::string::npos)
            raw.resize(hash);
        std::stringstream words(raw);
        std::vector<std::string> t;
        std::string w;
        while (words >> w)
            t.push_back(w);
        if (t.empty())
            continue;
        std::string err;
        if (!parse_line(p, t, err)) {
            error = "line " + std::to_string(number) + ": " + err;
            return false;
        }
    }
    if (p.bmc_declared && out.ipmi_nodes.empty())
        out.ipmi_nodes.push_back("/dev/ipmi0");
    return true;
}
