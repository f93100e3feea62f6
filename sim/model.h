// The simulated appliance's state, shared by the simulator's own files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <sys/select.h>

// A register's scripted read values: each read takes the next one, the last
// one stays.  A write replaces the script by the written value.
struct byte_script {
    std::vector<uint8_t> values{0xff};
    size_t next = 0;
};

uint8_t script_peek(const byte_script &s);
uint8_t script_read(byte_script &s);
void script_write(byte_script &s, uint8_t value);
bool script_pending(const byte_script &s);

struct pci_function {
    uint32_t bdf;                           // bus << 8 | device << 3 | function
    std::map<int, uint32_t> dwords;         // by offset; absent offsets read 0
};

struct superio_chip {
    uint16_t port;                          // address register; data register at port + 1
    std::vector<uint8_t> key{0x87, 0x87};
    size_t key_progress = 0;
    bool config_mode = false;
    uint8_t index = 0;
    uint8_t ldn = 0;
    uint8_t fill = 0x00;
    std::map<int, byte_script> regs;        // global: reg; per device: 0x100 + ldn << 8 | reg
};

struct indexed_chip {
    uint16_t addr_port;
    uint16_t data_port;
    int bank_reg = -1;                      // register index that selects the bank, -1 for none
    int addr_readback = -1;                 // fixed value read from the address register, -1: the index
    bool wide = false;                      // word/long data accesses reach consecutive registers
    uint8_t index = 0;
    uint8_t bank = 0;
    uint8_t fill = 0x00;
    std::map<int, byte_script> regs;        // bank << 8 | reg
};

struct plain_port {
    uint16_t port;
    bool read_only;                         // an input port ignores writes
    byte_script value;
};

struct bmc_rule {
    int netfn;
    int cmd;
    int slave;                              // Master Write-Read slave address, -1 for any request
    std::vector<std::vector<uint8_t>> replies;
    size_t next = 0;
};

enum bmc_call { BMC_OPEN, BMC_EVENTS, BMC_SEND, BMC_SELECT, BMC_RECEIVE, BMC_CALLS };

struct bmc_fault {
    int err = 0;                            // 0: no fault
    int on = 0;                             // fail only the on-th call (1-based), 0: every call
};

struct bmc_pending {
    bool valid = false;
    long msgid = 0;
    uint8_t netfn = 0, cmd = 0;
    std::vector<uint8_t> addr;              // source address record of the reply
    std::vector<uint8_t> data;              // completion code first
};

struct bmc_device {
    int fd;
    bmc_pending reply;
};

struct appliance {
    // port space
    std::vector<pci_function> pci;
    uint32_t pci_address = 0;
    std::vector<superio_chip> superio;
    std::vector<indexed_chip> indexed;
    std::vector<plain_port> plain;

    // privilege
    int iopl_error = 0;                     // errno that iopl gives, 0 to grant
    int ioperm_error = 0;                   // errno that ioperm gives for every port
    std::map<int, int> ioperm_port_error;   // errno that ioperm gives for ranges holding a port
    int ioperm_limit = 0x3ff;
    int iopl_level = 0;
    std::vector<bool> ioperm_bits = std::vector<bool>(0x10000, false);

    // BMC
    std::vector<std::string> ipmi_nodes;
    std::vector<bmc_rule> bmc_rules;
    std::vector<uint8_t> bmc_default{0xc1};
    bmc_fault faults[BMC_CALLS];
    int calls[BMC_CALLS] = {};
    std::vector<bmc_device> open_devices;

    // time
    bool real_delays = false;
    int halt_after_sleeps = -1;
    bool halt_when_done = false;
    long sleeps = 0;
};

extern appliance g_sim;

// scenario.cpp
bool scenario_parse(const std::string &text, appliance &out, std::string &error);
const char *errno_name(int err);

// ports.cpp
uint32_t ports_read(uint16_t port, int width);
void ports_write(uint16_t port, int width, uint32_t value);
bool scripts_pending();
std::string state_text();

// bmc.cpp
int bmc_open(const char *path, int flags);
int bmc_ioctl(int fd, unsigned long request, void *arg);
int bmc_select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds);
int bmc_close(int fd);

// seam.cpp
void trace_line(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void sim_boot();
[[noreturn]] void sim_fatal(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
