// The port register tools' fixed texts, as their tests and fuzz targets
// expect them byte for byte.
#pragma once

#include <string>
#include <unistd.h>

inline const std::string REGPEEK_USAGE = "Syntax for I2C-like access:\n"
                                         "  regpeek [OPTIONS] [-k V1,V2...] ADDRREG DATAREG [BANK [BANKREG]]\n"
                                         "Syntax for flat address space:\n"
                                         "  regpeek -f [OPTIONS] ADDRESS [RANGE [BANK [BANKREG]]]\n"
                                         "Options:\n"
                                         "  -k\tSuper-I/O configuration access key\n"
                                         "  -f\tEnable flat address space mode\n"
                                         "  -y\tAssume affirmative answer to all questions\n"
                                         "  -W\tRead and display word (16-bit) values\n"
                                         "  -L\tRead and display long (32-bit) values\n";

inline const std::string REGPOKE_USAGE = "Syntax for I2C-like access:\n"
                                         "  regpoke [OPTIONS] ADDRREG DATAREG ADDRESS VALUE [MASK]\n"
                                         "Syntax for flat address space:\n"
                                         "  regpoke -f [OPTIONS] ADDRESS VALUE [MASK]\n"
                                         "Options:\n"
                                         "  -f\tEnable flat address space mode\n"
                                         "  -y\tAssume affirmative answer to all questions\n"
                                         "  -W\tWrite a word (16-bit) value\n"
                                         "  -L\tWrite a long (32-bit) value\n";

inline const std::string WARNING = "WARNING! Running this program can cause system crashes, data loss and worse!\n";
inline const std::string QUESTION = "Continue? [Y/n] ";
inline const std::string ABORTED = "Aborting on user request.\n";
inline const std::string NOT_ROOT = "Error: Can only be run as root (or make it suid root)\n";

// A port lock file of this test process's own, and what a tool says when it
// finds the lock held by this process.
inline std::string scratch_lock(const std::string &tool)
{
    return "/tmp/hwkit-" + tool + "-" + std::to_string(getpid()) + ".lock";
}
inline std::string lock_held_error(const std::string &lock)
{
    return "Error: port lock " + lock + " still held by process " + std::to_string(getpid()) + " after 2 s!\n";
}
