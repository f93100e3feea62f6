// Runs a command as another user, without any supplementary group: the guest
// has no user database.
//
//   appliance-run-as UID COMMAND [ARG]...
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: appliance-run-as UID COMMAND [ARG]...\n");
        return 2;
    }
    char *end = nullptr;
    unsigned long id = strtoul(argv[1], &end, 10);
    if (!*argv[1] || *end || id == 0 || id > 65534) {
        fprintf(stderr, "appliance-run-as: %s: not a user id of 1 to 65534\n", argv[1]);
        return 2;
    }
    if (setgroups(0, nullptr) != 0 || setgid((gid_t)id) != 0 || setuid((uid_t)id) != 0) {
        fprintf(stderr, "appliance-run-as: %s\n", strerror(errno));
        return 126;
    }
    execvp(argv[2], argv + 2);
    fprintf(stderr, "appliance-run-as: %s: %s\n", argv[2], strerror(errno));
    return 127;
}
