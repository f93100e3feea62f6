// The simulated port space: PCI configuration mechanism #1, Super-I/O chips,
// index/data chips and plain ports.  Unclaimed ports read as all ones and
// swallow writes.
#include "sim/model.h"

#include <cstdarg>
#include <cstdio>

uint8_t script_peek(const byte_script &s)
{
    return s.values[s.next < s.values.size() ? s.next : s.values.size() - 1];
}

uint8_t script_read(byte_script &s)
{
    uint8_t v = script_peek(s);
    if (s.next < s.values.size())
        s.next++;
    return v;
}

void script_write(byte_script &s, uint8_t value)
{
    s.values.assign(1, value);
    s.next = 0;
}

// Only a script of several values tells a story that a run can still be in
// the middle of.
bool script_pending(const byte_script &s)
{
    return s.values.size() > 1 && s.next < s.values.size();
}

static const uint16_t PCI_ADDRESS_PORT = 0xcf8;
static const uint16_t PCI_DATA_PORT = 0xcfc;

static const pci_function *pci_find(uint32_t bdf)
{
    for (const pci_function &f : g_sim.pci)
        if (f.bdf == bdf)
            return &f;
    return nullptr;
}

static uint32_t pci_config_read()
{
    uint32_t a = g_sim.pci_address;
    if (!(a & 0x80000000u))
        return 0xffffffffu;
    const pci_function *f = pci_find((a >> 8) & 0xffff);
    if (!f)
        return 0xffffffffu;
    auto it = f->dwords.find(a & 0xfc);
    return it == f->dwords.end() ? 0 : it->second;
}

static void pci_config_write(uint32_t value, uint32_t mask)
{
    uint32_t a = g_sim.pci_address;
    if (!(a & 0x80000000u))
        return;
    for (pci_function &f : g_sim.pci)
        if (f.bdf == ((a >> 8) & 0xffff)) {
            uint32_t &d = f.dwords[a & 0xfc];
            d = (d & ~mask) | (value & mask);
        }
}

// The address register latches only whole dwords; the data window takes any
// width at any of its four ports.
static bool pci_access(bool write, uint16_t port, int width, uint32_t &value)
{
    if (port == PCI_ADDRESS_PORT && width == 4) {
        if (write)
            g_sim.pci_address = value;
        else
            value = g_sim.pci_address;
        return true;
    }
    if (port < PCI_DATA_PORT || port + width > PCI_DATA_PORT + 4)
        return false;
    int shift = (port - PCI_DATA_PORT) * 8;
    uint32_t mask = width == 4 ? 0xffffffffu : ((1u << (width * 8)) - 1) << shift;
    if (write)
        pci_config_write(value << shift, mask);
    else
        value = (pci_config_read() & mask) >> shift;
    return true;
}

static byte_script &superio_reg(superio_chip &c, uint8_t reg)
{
    int key = reg < 0x30 ? reg : 0x100 + (c.ldn << 8) + reg;
    auto it = c.regs.find(key);
    if (it == c.regs.end()) {
        byte_script s;
        s.values.assign(1, reg == 0x07 ? c.ldn : c.fill);
        it = c.regs.emplace(key, s).first;
    }
    return it->second;
}

static void superio_address_write(superio_chip &c, uint8_t v)
{
    if (c.config_mode) {
        if (v == 0xaa)
            c.config_mode = false;
        else
            c.index = v;
        return;
    }
    if (v == c.key[c.key_progress])
        c.key_progress++;
    else
        c.key_progress = v == c.key[0] ? 1 : 0;
    if (c.key_progress == c.key.size()) {
        c.config_mode = true;
        c.key_progress = 0;
    }
}

static void superio_data_write(superio_chip &c, uint8_t v)
{
    if (!c.config_mode)
        return;
    if (c.index == 0x02) {
        // Configuration Control: bit 1 returns the chip to Wait for Key.
        if (v & 0x02)
            c.config_mode = false;
        return;
    }
    if (c.index == 0x07)
        c.ldn = v;
    script_write(superio_reg(c, c.index), v);
}

static uint8_t superio_data_read(superio_chip &c)
{
    if (!c.config_mode)
        return 0xff;
    if (c.index == 0x07)
        return c.ldn;
    return script_read(superio_reg(c, c.index));
}

static byte_script &indexed_reg(indexed_chip &c, uint8_t reg)
{
    int key = (c.bank << 8) | reg;
    auto it = c.regs.find(key);
    if (it == c.regs.end()) {
        byte_script s;
        s.values.assign(1, c.fill);
        it = c.regs.emplace(key, s).first;
    }
    return it->second;
}

static uint8_t indexed_data_read(indexed_chip &c, uint8_t reg)
{
    if (reg == c.bank_reg)
        return c.bank;
    return script_read(indexed_reg(c, reg));
}

static void indexed_data_write(indexed_chip &c, uint8_t reg, uint8_t v)
{
    if (reg == c.bank_reg)
        c.bank = v;
    else
        script_write(indexed_reg(c, reg), v);
}

// A wide chip moves word and long data accesses through consecutive registers
// from the selected index on, low byte first.
static bool wide_access(bool write, uint16_t port, int width, uint32_t &value)
{
    if (width == 1)
        return false;
    for (indexed_chip &c : g_sim.indexed) {
        if (!c.wide || port != c.data_port)
            continue;
        uint32_t v = 0;
        for (int i = 0; i < width; i++) {
            uint8_t reg = (uint8_t)(c.index + i);
            if (write)
                indexed_data_write(c, reg, (uint8_t)(value >> (8 * i)));
            else
                v |= (uint32_t)indexed_data_read(c, reg) << (8 * i);
        }
        if (!write)
            value = v;
        return true;
    }
    return false;
}

static uint8_t byte_read(uint16_t port)
{
    for (superio_chip &c : g_sim.superio) {
        if (port == c.port)
            return c.config_mode ? c.index : 0xff;
        if (port == c.port + 1)
            return superio_data_read(c);
    }
    for (indexed_chip &c : g_sim.indexed) {
        if (port == c.addr_port)
            return c.addr_readback >= 0 ? (uint8_t)c.addr_readback : c.index;
        if (port == c.data_port)
            return indexed_data_read(c, c.index);
    }
    for (plain_port &p : g_sim.plain)
        if (port == p.port)
            return script_read(p.value);
    return 0xff;
}

static void byte_write(uint16_t port, uint8_t v)
{
    for (superio_chip &c : g_sim.superio) {
        if (port == c.port)
            return superio_address_write(c, v);
        if (port == c.port + 1)
            return superio_data_write(c, v);
    }
    for (indexed_chip &c : g_sim.indexed) {
        if (port == c.addr_port) {
            c.index = v;
            return;
        }
        if (port == c.data_port)
            return indexed_data_write(c, c.index, v);
    }
    for (plain_port &p : g_sim.plain)
        if (port == p.port) {
            if (!p.read_only)
                script_write(p.value, v);
            return;
        }
}

uint32_t ports_read(uint16_t port, int width)
{
    uint32_t v = 0;
    if (pci_access(false, port, width, v) || wide_access(false, port, width, v))
        return v;
    for (int i = 0; i < width; i++)
        v |= (uint32_t)byte_read((uint16_t)(port + i)) << (8 * i);
    return v;
}

void ports_write(uint16_t port, int width, uint32_t value)
{
    if (pci_access(true, port, width, value) || wide_access(true, port, width, value))
        return;
    for (int i = 0; i < width; i++)
        byte_write((uint16_t)(port + i), (uint8_t)(value >> (8 * i)));
}

bool scripts_pending()
{
    for (const superio_chip &c : g_sim.superio)
        for (const auto &r : c.regs)
            if (script_pending(r.second))
                return true;
    for (const indexed_chip &c : g_sim.indexed)
        for (const auto &r : c.regs)
            if (script_pending(r.second))
                return true;
    for (const plain_port &p : g_sim.plain)
        if (script_pending(p.value))
            return true;
    for (const bmc_rule &r : g_sim.bmc_rules)
        if (r.replies.size() > 1 && r.next < r.replies.size())
            return true;
    return false;
}

static std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
static std::string format(const char *fmt, ...)
{
    char buf[128];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

static const superio_chip SUPERIO_DEFAULTS{};
static const indexed_chip INDEXED_DEFAULTS{};

// The registers as a later read would find them, in scenario syntax: with the
// chips' options and selected banks, so that a later run can load it as its
// scenario.
std::string state_text()
{
    std::string s;
    for (const superio_chip &c : g_sim.superio) {
        std::string key;
        if (c.key != SUPERIO_DEFAULTS.key)
            for (size_t i = 0; i < c.key.size(); i++)
                key += format("%s%02x", i ? "," : " key ", c.key[i]);
        s += format("superio 0x%04x%s # %s, ldn 0x%02x\n", c.port, key.c_str(),
                    c.config_mode ? "configuration mode" : "wait for key", c.ldn);
        if (c.fill != SUPERIO_DEFAULTS.fill)
            s += format("fill 0x%02x\n", c.fill);
        for (const auto &r : c.regs) {
            if (r.first < 0x100)
                s += format("reg 0x%02x 0x%02x\n", r.first, script_peek(r.second));
            else
                s += format("ldn 0x%02x 0x%02x 0x%02x\n", (r.first - 0x100) >> 8, r.first & 0xff,
                            script_peek(r.second));
        }
    }
    for (const indexed_chip &c : g_sim.indexed) {
        std::string options;
        if (c.bank_reg >= 0)
            options += format(" bank 0x%02x", c.bank_reg);
        if (c.addr_readback >= 0)
            options += format(" addr-reads 0x%02x", c.addr_readback);
        if (c.wide)
            options += " wide";
        s += format("indexed 0x%04x 0x%04x%s # index 0x%02x, bank 0x%02x\n", c.addr_port,
                    c.data_port, options.c_str(), c.index, c.bank);
        if (c.fill != INDEXED_DEFAULTS.fill)
            s += format("fill 0x%02x\n", c.fill);
        if (c.bank_reg >= 0)
            s += format("reg 0x%02x 0x%02x # the selected bank\n", c.bank_reg, c.bank);
        for (const auto &r : c.regs)
            s += format("reg %x:0x%02x 0x%02x\n", r.first >> 8, r.first & 0xff, script_peek(r.second));
    }
    for (const plain_port &p : g_sim.plain)
        s += format("%s 0x%04x 0x%02x\n", p.read_only ? "input" : "latch", p.port, script_peek(p.value));
    return s;
}
