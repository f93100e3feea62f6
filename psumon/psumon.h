// psumon's functions, declared for its tests; the program is psumon.cpp alone.
#pragma once

extern int g_bPrintStatus;
extern int g_bPrintDebugInfo;

struct ipmi_transaction {
    int netfn;
    int target;              // >= 0: LUN at the BMC over the system interface; < 0: minus the IPMB slave address
    int cmd;
    unsigned char *data;
    int data_len;
    int ccode;
    unsigned char *reply;
    int reply_len;           // capacity on entry; data bytes behind the completion code after a reply
};

int get_mboard_id();
const char *get_mb_name(int id);
unsigned char read_logic_device_reg(unsigned char device, unsigned char reg);
int get_x8sie_ln4_power_state();

int ipmi_open();
void ipmi_close(int fd);
int ipmi_send_cmd(int fd, struct ipmi_transaction *t);
int ipmi_process_request(int netfn, int target, int cmd, unsigned char *data, int data_len,
                         unsigned char *result);
int get_x11ds_power_state();
int get_x9ds_power_state();
int get_x10drli_power_state();

int get_power_flag(int id);
int get_power_flag_ex(int id);
int _simple_power_check();
[[noreturn]] void _loop_test(int seconds);
[[noreturn]] void _loop_testex(int seconds);
