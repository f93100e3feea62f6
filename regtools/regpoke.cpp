// regpoke: writes one value into one hardware register and reads it back,
// through an address/data register pair (I2C-like access, the default) or as
// a single I/O port (flat mode).  A mask limits the write to some bits: the
// old value is read first and the bits outside the mask are kept.
//
// All text goes to standard error.  main returns the exit status and never
// calls exit, so that the whole run can be driven as a function.
#include "regtools/util.h"

#include <cstdio>
#include <unistd.h>

static const long LAST_REGISTER = 0xFF;

static void help(void)
{
    fprintf(stderr,
            "Syntax for I2C-like access:\n"
            "  regpoke [OPTIONS] ADDRREG DATAREG ADDRESS VALUE [MASK]\n"
            "Syntax for flat address space:\n"
            "  regpoke -f [OPTIONS] ADDRESS VALUE [MASK]\n"
            "Options:\n"
            "  -f\tEnable flat address space mode\n"
            "  -y\tAssume affirmative answer to all questions\n"
            "  -W\tWrite a word (16-bit) value\n"
            "  -L\tWrite a long (32-bit) value\n");
}

static int ask(void)
{
    fprintf(stderr, "Continue? [Y/n] ");
    fflush(stderr);
    if (user_ack(1))
        return 1;
    fprintf(stderr, "Aborting on user request.\n");
    return 0;
}

int main(int argc, char *argv[])
{
    int width = 1;
    unsigned long largest = 0xFF;
    int flat = 0;
    int yes = 0;

    int first = 1;
    for (; first < argc && argv[first][0] == '-'; first++) {
        switch (argv[first][1]) {
        case 'f':
            flat = 1;
            break;
        case 'y':
            yes = 1;
            break;
        case 'W':
            width = 2;
            largest = 0xFFFF;
            break;
        case 'L':
            width = 4;
            largest = 0xFFFFFFFF;
            break;
        default:
            fprintf(stderr, "Warning: Unsupported flag \"-%c\"!\n", argv[first][1]);
            help();
            return 1;
        }
    }

    int given = argc - first;
    if (flat ? (given != 2 && given != 3) : (given != 4 && given != 5)) {
        help();
        return 1;
    }
    char **arg = argv + first;

    int addrreg;
    if (!parse_address(arg[0], flat, &addrreg)) {
        help();
        return 1;
    }
    long number;
    int datareg = 0;
    int index = 0;

    if (!flat) {
        if (!parse_data_register(arg[1], &datareg)) {
            help();
            return 1;
        }
        if (!parse_number(arg[2], &number)) {
            fprintf(stderr, "Error: Invalid address!\n");
            help();
            return 1;
        }
        if (number < 0 || number > LAST_REGISTER) {
            fprintf(stderr, "Error: Address out of range (0x00-0x%02lx)!\n", LAST_REGISTER);
            help();
            return 1;
        }
        index = (int)number;
        arg += 2;
    }

    // Both bounds in hexadecimal, as wide as the access.
    unsigned long value;
    if (!parse_unsigned(arg[1], &value)) {
        fprintf(stderr, "Error: Invalid value!\n");
        help();
        return 1;
    }
    if (value > largest) {
        fprintf(stderr, "Error: Value out of range (0x%0*x-0x%0*lx)!\n", 2 * width, 0, 2 * width, largest);
        help();
        return 1;
    }
    unsigned long mask = 0;
    if (given == (flat ? 3 : 5)) {
        if (!parse_unsigned(arg[2], &mask)) {
            fprintf(stderr, "Error: Invalid mask!\n");
            help();
            return 1;
        }
        if (mask > largest) {
            fprintf(stderr, "Error: Mask out of range (0x%0*x-0x%0*lx)!\n", 2 * width, 0, 2 * width, largest);
            help();
            return 1;
        }
    }

    if (geteuid() != 0) {
        fprintf(stderr, "Error: Can only be run as root (or make it suid root)\n");
        return 1;
    }

    // A mask of 0 is no mask.
    const char *masked = mask ? " (masked)" : "";
    if (!yes) {
        fprintf(stderr, "WARNING! Running this program can cause system crashes, data loss and worse!\n");
        if (flat)
            fprintf(stderr, "I will write value 0x%0*lx%s to address 0x%x.\n", 2 * width, value, masked, addrreg);
        else
            fprintf(stderr,
                    "I will write value 0x%0*lx%s to address 0x%02x of chip with address register 0x%x\n"
                    "and data register 0x%x.\n",
                    2 * width, value, masked, index, addrreg, datareg);
        if (!ask())
            return 0;
    }

    if (!get_port_access(flat, addrreg, datareg, width) || !lock_ports())
        return 1;

    if (mask) {
        unsigned long old;
        if (flat) {
            old = inx(addrreg, width);
        } else {
            outx((unsigned int)index, addrreg, 1);
            old = inx(datareg, width);
        }
        value = (value & mask) | (old & ~mask);
        if (!yes) {
            // Nobody waits for the lock while the operator answers.
            unlock_ports();
            fprintf(stderr, "Old value 0x%0*lx, write mask 0x%0*lx: Will write 0x%0*lx to %s 0x%02x\n",
                    2 * width, old, 2 * width, mask, 2 * width, value, flat ? "address" : "register",
                    flat ? addrreg : index);
            if (!ask())
                return 0;
            if (!lock_ports())
                return 1;
        }
    }

    unsigned long back;
    if (flat) {
        outx((unsigned int)value, addrreg, width);
        back = inx(addrreg, width);
    } else {
        outx((unsigned int)index, addrreg, 1);
        outx((unsigned int)value, datareg, width);
        back = inx(datareg, width);
    }
    unlock_ports();
    if (back != value)
        fprintf(stderr, "Data mismatch, wrote 0x%0*lx, read 0x%0*lx back.\n", 2 * width, value, 2 * width, back);
    return 0;
}
