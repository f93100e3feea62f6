// regpeek: prints a hexadecimal table of hardware registers, read through an
// address/data register pair (I2C-like access, the default) or straight from
// a stretch of I/O ports (flat mode), optionally in a selected bank and, for
// Super-I/O chips, after a configuration access key.
//
// The table goes to standard output; usage, warnings, questions and errors go
// to standard error.  main returns the exit status and never calls exit, so
// that the whole run can be driven as a function.
#include "regtools/superio.h"
#include "regtools/util.h"

#include <cstdio>
#include <unistd.h>

static const long FLAT_LAST_PORT = 0xFFFF;
static const int ROW_BYTES = 16;
static const int FULL_RANGE = 256;
static const int HALF_RANGE = 128;
static const int LAST_BANK = 31;
// An address register that reads back this after index 0 was written belongs
// to a chip with 128 registers.
static const unsigned int HALF_CHIP_MARK = 0x80;
static const int FLAT_BANK_OFFSET = 9;
static const int SUPERIO_LDN_REGISTER = 0x07;
static const int DEFAULT_BANK_REGISTER = 0x4E;

static void help(void)
{
    fprintf(stderr,
            "Syntax for I2C-like access:\n"
            "  regpeek [OPTIONS] [-k V1,V2...] ADDRREG DATAREG [BANK [BANKREG]]\n"
            "Syntax for flat address space:\n"
            "  regpeek -f [OPTIONS] ADDRESS [RANGE [BANK [BANKREG]]]\n"
            "Options:\n"
            "  -k\tSuper-I/O configuration access key\n"
            "  -f\tEnable flat address space mode\n"
            "  -y\tAssume affirmative answer to all questions\n"
            "  -W\tRead and display word (16-bit) values\n"
            "  -L\tRead and display long (32-bit) values\n");
}

// Selects a bank and returns the one selected before (always 8-bit).  In
// flat mode the bank register is an offset from the first port.
static int set_bank(int flat, int addrreg, int datareg, int bank, int bankreg)
{
    int old;
    if (flat) {
        old = (int)inx(addrreg + bankreg, 1);
        outx((unsigned int)bank, addrreg + bankreg, 1);
    } else {
        outx((unsigned int)bankreg, addrreg, 1);
        old = (int)inx(datareg, 1);
        outx((unsigned int)bank, datareg, 1);
    }
    return old;
}

static void dump(int flat, int addrreg, int datareg, int range, int width, const unsigned char *key)
{
    printf("%*s", flat ? 5 : 3, "");
    for (int col = 0; col < ROW_BYTES; col += width)
        printf(" %*x", 2 * width, col);
    printf("\n");

    for (int row = 0; row < range; row += ROW_BYTES) {
        if (flat)
            printf("%04x: ", addrreg + row);
        else
            printf("%02x: ", row);
        if (key[0])
            superio_write_key(addrreg, key);
        for (int col = 0; col < ROW_BYTES; col += width) {
            // Everything read so far is out before the next port access.
            fflush(stdout);
            unsigned int value;
            if (flat) {
                value = inx(addrreg + row + col, width);
            } else {
                outx((unsigned int)(row + col), addrreg, 1);
                if (row == 0 && col == 0 && inx(addrreg, 1) == HALF_CHIP_MARK)
                    range = HALF_RANGE;
                value = inx(datareg, width);
            }
            printf("%0*lx ", 2 * width, (unsigned long)value);
        }
        printf("\n");
    }
}

int main(int argc, char *argv[])
{
    int width = 1;
    int flat = 0;
    int yes = 0;
    unsigned char key[SUPERIO_KEY_RECORD];
    key[0] = 0;

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
            break;
        case 'L':
            width = 4;
            break;
        case 'k':
            if (first + 1 >= argc || superio_parse_key(key, argv[first + 1]) < 0) {
                fprintf(stderr, "Invalid or missing key\n");
                help();
                return 1;
            }
            first++;
            break;
        default:
            fprintf(stderr, "Warning: Unsupported flag \"-%c\"!\n", argv[first][1]);
            help();
            return 1;
        }
    }

    if (flat && key[0]) {
        fprintf(stderr, "Error: Cannot use key in flat mode\n");
        return 1;
    }
    int given = argc - first;
    if (given < (flat ? 1 : 2)) {
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
    int range = FULL_RANGE;
    int bankreg;

    if (flat) {
        if (given >= 2) {
            if (!parse_number(arg[1], &number) || number <= 0 || number > FULL_RANGE ||
                number % ROW_BYTES != 0) {
                fprintf(stderr, "Error: Invalid range!\n"
                                "Hint: Must be a multiple of 16 no greater than 256.\n");
                help();
                return 1;
            }
            // The last port of the dump must be a port.
            if (addrreg + number - 1 > FLAT_LAST_PORT) {
                fprintf(stderr, "Error: Range runs past the last port (0x%04lx)!\n", FLAT_LAST_PORT);
                help();
                return 1;
            }
            range = (int)number;
        } else {
            addrreg &= 0xFF00;
        }
        bankreg = FLAT_BANK_OFFSET;
    } else {
        if (!parse_data_register(arg[1], &datareg)) {
            help();
            return 1;
        }
        if ((addrreg == 0x2E && datareg == 0x2F) || (addrreg == 0x4E && datareg == 0x4F))
            bankreg = SUPERIO_LDN_REGISTER;
        else
            bankreg = DEFAULT_BANK_REGISTER;
    }

    int bank = -1;
    if (given >= 3) {
        if (!parse_number(arg[2], &number)) {
            fprintf(stderr, "Error: Invalid bank number!\n");
            help();
            return 1;
        }
        if (number < 0 || number > LAST_BANK) {
            fprintf(stderr, "Error: bank out of range (0-%d)!\n", LAST_BANK);
            help();
            return 1;
        }
        bank = (int)number;
    }
    if (given >= 4) {
        if (!parse_number(arg[3], &number)) {
            fprintf(stderr, "Error: Invalid bank register!\n");
            help();
            return 1;
        }
        if (number < 0 || number > range - 1) {
            fprintf(stderr, "Error: bank out of range (0x00-0x%02x)!\n", range - 1);
            help();
            return 1;
        }
        bankreg = (int)number;
    }

    if (geteuid() != 0) {
        fprintf(stderr, "Error: Can only be run as root (or make it suid root)\n");
        return 1;
    }

    if (!yes) {
        fprintf(stderr, "WARNING! Running this program can cause system crashes, data loss and worse!\n");
        if (flat)
            fprintf(stderr, "I will probe address range 0x%x to 0x%x.\n", addrreg, addrreg + range - 1);
        else
            fprintf(stderr, "I will probe address register 0x%x and data register 0x%x.\n", addrreg, datareg);
        if (bank >= 0)
            fprintf(stderr, "Probing bank %d using bank register 0x%02x.\n", bank, bankreg);
        fprintf(stderr, "Continue? [Y/n] ");
        fflush(stderr);
        if (!user_ack(1)) {
            fprintf(stderr, "Aborting on user request.\n");
            return 0;
        }
    }

    if (!get_port_access(flat, addrreg, datareg, width) || !lock_ports())
        return 1;

    if (key[0])
        superio_write_key(addrreg, key);
    int old_bank = 0;
    if (bank >= 0)
        old_bank = set_bank(flat, addrreg, datareg, bank, bankreg);

    dump(flat, addrreg, datareg, range, width, key);

    if (bank >= 0)
        set_bank(flat, addrreg, datareg, old_bank, bankreg);
    if (key[0])
        superio_reset(addrreg, datareg);
    unlock_ports();
    return 0;
}
